# Executables with and without the installer's version resource, for the
# tests of the installer copy, and a program that runs the copy steps on its
# own file (the reinstallation started from the copy itself).
set(installer_copy_sources ${CMAKE_SOURCE_DIR}/tests/win/fixtures/installer_copy)
set(installer_copy_fixtures ${CMAKE_BINARY_DIR}/installer-copy-fixtures)

set(installer_copy_targets)
foreach(fixture installer other_case second_translation longer shorter other_product
        no_string_for_translation no_version)
    set(target installer_copy_${fixture})
    if(fixture STREQUAL "no_version")
        add_executable(${target} ${installer_copy_sources}/idle.c)
    else()
        add_executable(${target} ${installer_copy_sources}/idle.c
            ${installer_copy_sources}/${fixture}.rc)
    endif()
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${fixture}
        RUNTIME_OUTPUT_DIRECTORY ${installer_copy_fixtures})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C>:${TONVARO_WIN_WARNINGS}>)
    target_link_options(${target} PRIVATE -static)
    list(APPEND installer_copy_targets ${target})
endforeach()

add_executable(installer_copy_runner ${installer_copy_sources}/copy_runner.cpp
    ${installer_copy_sources}/installer.rc)
set_target_properties(installer_copy_runner PROPERTIES
    OUTPUT_NAME copy_runner
    RUNTIME_OUTPUT_DIRECTORY ${installer_copy_fixtures})
target_include_directories(installer_copy_runner PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(installer_copy_runner PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${TONVARO_WIN_WARNINGS}>)
target_link_options(installer_copy_runner PRIVATE -static)
target_link_libraries(installer_copy_runner PRIVATE setup_core ${TONVARO_WIN_TEST_LIBS})
list(APPEND installer_copy_targets installer_copy_runner)

add_dependencies(win_tests ${installer_copy_targets})
target_compile_definitions(win_tests PRIVATE
    TONVARO_INSTALLER_COPY_FIXTURES="${installer_copy_fixtures}")
