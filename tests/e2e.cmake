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
