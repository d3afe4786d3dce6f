# A program that registers an installation under the Windows version Wine
# reports to it (set per program name in AppDefaults), and the check of a
# written shell link by a reader that is not ours (lnkinfo).
set(registration_sources ${CMAKE_SOURCE_DIR}/tests/win/fixtures/registration)

add_executable(tonvaro-registration-child ${registration_sources}/registration_child.cpp
    ${CMAKE_SOURCE_DIR}/tests/win/message_recorder.cpp)
target_include_directories(tonvaro-registration-child PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(tonvaro-registration-child PRIVATE ${TONVARO_WIN_WARNINGS})
target_link_options(tonvaro-registration-child PRIVATE -static)
target_link_libraries(tonvaro-registration-child PRIVATE setup_core ${TONVARO_WIN_TEST_LIBS})

add_dependencies(win_tests tonvaro-registration-child)
target_compile_definitions(win_tests PRIVATE
    TONVARO_REGISTRATION_CHILD_EXE="$<TARGET_FILE:tonvaro-registration-child>")

add_test(NAME registration.lnkinfo_reads_shell_link
    COMMAND sh ${registration_sources}/lnkinfo_check.sh ${CMAKE_BINARY_DIR}/wine-run
        $<TARGET_FILE:tonvaro-registration-child> ${CMAKE_BINARY_DIR}/registration-lnkinfo)
set_tests_properties(registration.lnkinfo_reads_shell_link PROPERTIES
    FIXTURES_REQUIRED wine RESOURCE_LOCK wine_prefix TIMEOUT 120)
