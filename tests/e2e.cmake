# End-to-end tests: the real setup programs, driven from a separate process.
function(tonvaro_e2e name)
    add_test(NAME e2e.${name} COMMAND tonvaro-driver ${ARGN})
    set_tests_properties(e2e.${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_prefix
        TIMEOUT 120)
endfunction()

set(damaged_text "The installation data could not be extracted. It may be corrupted.\\n\\nIf you downloaded this file try downloading it again.")
foreach(v damaged tiny)
    tonvaro_e2e(startup.${v}_payload_is_a_critical_error
        $<TARGET_FILE:setup_${v}> box "Critical error" 16 ok ${damaged_text} exit 1)
endforeach()

# The archive of no entries verifies: the wizard comes up, and leaving it
# from its first page ends the setup with exit code 1.
tonvaro_e2e(startup.empty_payload_shows_the_wizard
    $<TARGET_FILE:setup_empty> click "Quenvale Tonvaro Setup" 2 exit 1)

# Scenario files (tests/e2e/*.py beside harness.py), each case driven from
# start to end and checked from the Linux side.
file(GLOB scenario_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.py)
list(FILTER scenario_files EXCLUDE REGEX "/harness\\.py$")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${scenario_files} ${CMAKE_SOURCE_DIR}/tests/e2e/harness.py)
foreach(file ${scenario_files})
    get_filename_component(group ${file} NAME_WE)
    execute_process(COMMAND /usr/bin/python3 ${file} ${CMAKE_BINARY_DIR} --list
        OUTPUT_VARIABLE names OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE listed)
    if(NOT listed EQUAL 0)
        message(FATAL_ERROR "${file} --list failed")
    endif()
    string(REPLACE "\n" ";" names "${names}")
    foreach(s ${names})
        add_test(NAME e2e.${group}.${s} COMMAND /usr/bin/python3 ${file} ${CMAKE_BINARY_DIR} ${s})
        # A scenario of another language skips where its locale is missing.
        set_tests_properties(e2e.${group}.${s} PROPERTIES FIXTURES_REQUIRED wine
            RESOURCE_LOCK wine_prefix TIMEOUT 300 SKIP_REGULAR_EXPRESSION "SKIP: the locale")
    endforeach()
endforeach()
