# Tests of the Windows trees: static checks of the shipped i686 binary, and
# every Windows test under Wine, each tree in a prefix of its own width. The
# i686 tree runs the shipped programs under 32-bit Wine in a 32-bit prefix
# (a 32-bit Windows, as the setup's targets are); the x86_64 tree runs the
# same sources under 64-bit Wine.
# Debian's own Python: it has python3-pefile.
set(Python3_EXECUTABLE /usr/bin/python3)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    add_test(NAME shipped.imports
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/check_pe.py
            $<TARGET_FILE:setup> ${CMAKE_SOURCE_DIR}/tests/expected-imports.txt)
    # The uninstaller the setup installs must start wherever the setup ran.
    add_test(NAME shipped.deinstall_imports
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/check_pe.py
            $<TARGET_FILE:tonvaro-deinstall> ${CMAKE_SOURCE_DIR}/tests/expected-imports-deinstall.txt
            16384)
    add_test(NAME shipped.reproducible
        COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check_reproducible.sh
            ${CMAKE_SOURCE_DIR} $<TARGET_FILE:setup> ${TONVARO_PACK})
    set_tests_properties(shipped.reproducible PROPERTIES TIMEOUT 600)
    # Every instruction of both programs runs on a 386, where Windows 95 does.
    add_test(NAME shipped.processor
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/check_processor.py
            ${TONVARO_TRIPLET}-objdump $<TARGET_FILE:setup> $<TARGET_FILE:tonvaro-deinstall>)
    set(TONVARO_WINE /usr/lib/wine/wine)
    set(TONVARO_WINEARCH win32)
else()
    set(TONVARO_WINE /usr/lib/wine/wine64)
    set(TONVARO_WINEARCH win64)
endif()

# Both programs of both widths declare themselves to Windows Vista and later.
add_test(NAME static.manifests
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/check_manifest.py
        $<TARGET_FILE:setup> $<TARGET_FILE:tonvaro-deinstall>)

# 32-bit Wine runs only where the machine executes 32-bit programs
# (tools/enable-i386.sh). Elsewhere the tests cannot even be listed: each
# Windows test program is then one test, which the session skips.
execute_process(COMMAND ${TONVARO_WINE} --version RESULT_VARIABLE wine_missing
    OUTPUT_QUIET ERROR_QUIET)
if(wine_missing EQUAL 0)
    set(TONVARO_WINE_RUNS ON)
else()
    set(TONVARO_WINE_RUNS OFF)
    message(STATUS "${TONVARO_WINE} does not run here: the Windows tests of this tree will be skipped")
endif()

# The prefix, the wineserver and the display that every test here shares.
set(TONVARO_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(TONVARO_WINE_SESSION ${CMAKE_BINARY_DIR}/wine-session)
set(TONVARO_URL_RECORDER ${CMAKE_BINARY_DIR}/tonvaro-url-recorder.exe)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-session.in ${TONVARO_WINE_SESSION} @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The scenarios learn the prefix's width from here.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/wine-arch CONTENT "${TONVARO_WINEARCH}\n")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

add_test(NAME wine.session.stop COMMAND ${TONVARO_WINE_SESSION} stop)
set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine)

# GoogleTest from Debian's sources, built with this tree's compilers.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

set(TONVARO_WIN_TEST_LIBS tonvaro_zlib -lkernel32 -luser32 -lgdi32 -ladvapi32 -lshell32
    -lcomctl32 -lversion -lole32 -luuid)

# Component tests: the setup program's own code against the real Win32 of
# Wine. Only the message box is replaced, at link time.
file(GLOB TONVARO_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
add_executable(win_tests ${TONVARO_WIN_TESTS} setup/setup.rc
    ${CMAKE_CURRENT_BINARY_DIR}/setup-payload.rc)
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(win_tests PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TONVARO_WIN_WARNINGS}>)
target_compile_definitions(win_tests PRIVATE ${TONVARO_SETUP_DEFINES})
target_link_options(win_tests PRIVATE -static)
target_link_libraries(win_tests PRIVATE setup_core gtest_main ${TONVARO_WIN_TEST_LIBS})
if(TONVARO_WINE_RUNS)
    gtest_discover_tests(win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
        PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_prefix TIMEOUT 120)
else()
    add_test(NAME win_tests COMMAND win_tests)
    set_tests_properties(win_tests PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_prefix)
endif()

# The end-to-end driver: starts a setup program, answers its windows as a
# person would and reports what it saw.
add_executable(tonvaro-driver tests/driver/driver.cpp)
target_compile_options(tonvaro-driver PRIVATE ${TONVARO_WIN_WARNINGS})
target_compile_definitions(tonvaro-driver PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_options(tonvaro-driver PRIVATE -static -municode)
target_link_libraries(tonvaro-driver PRIVATE ${TONVARO_WIN_TEST_LIBS})

add_executable(tonvaro-url-recorder WIN32 tests/driver/url_recorder.cpp)
target_compile_options(tonvaro-url-recorder PRIVATE ${TONVARO_WIN_WARNINGS})
target_link_options(tonvaro-url-recorder PRIVATE -static)
target_link_libraries(tonvaro-url-recorder PRIVATE -lkernel32 -luser32)

# Setup programs built around hostile payloads, linked like the real one.
set(TONVARO_VARIANTS_DIR ${CMAKE_BINARY_DIR}/variants)
set(TONVARO_VARIANT_PAYLOADS damaged tiny empty bad-stream)
set(variant_files)
foreach(v ${TONVARO_VARIANT_PAYLOADS})
    list(APPEND variant_files ${TONVARO_VARIANTS_DIR}/${v}.bin)
endforeach()
add_custom_command(OUTPUT ${variant_files}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/payload_variants.py
        ${TONVARO_PAYLOAD_FILE} ${TONVARO_VARIANTS_DIR}
    DEPENDS ${TONVARO_PAYLOAD_FILE} ${CMAKE_SOURCE_DIR}/tests/tools/payload_variants.py
    VERBATIM)
add_custom_target(variant_payloads DEPENDS ${variant_files})
# Ordered after the payload's own target: otherwise both targets would run
# the payload's rule, at the same time in a parallel build.
if(TARGET payload)
    add_dependencies(variant_payloads payload)
endif()
foreach(v ${TONVARO_VARIANT_PAYLOADS})
    tonvaro_setup_executable(setup_${v} ${TONVARO_VARIANTS_DIR}/${v} ${TONVARO_VARIANTS_DIR}/${v}.bin)
    add_dependencies(setup_${v} variant_payloads)
endforeach()

include(${CMAKE_SOURCE_DIR}/tests/e2e.cmake)

# Programs and data that tests of each subsystem build for themselves.
file(GLOB TONVARO_TEST_FRAGMENTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/cmake/*.cmake)
foreach(fragment ${TONVARO_TEST_FRAGMENTS})
    include(${fragment})
endforeach()

# A program for the component tests to start and to probe under several
# Windows versions.
add_executable(tonvaro-child tests/win/child/child.cpp)
target_include_directories(tonvaro-child PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(tonvaro-child PRIVATE ${TONVARO_WIN_WARNINGS})
target_link_options(tonvaro-child PRIVATE -static)
target_link_libraries(tonvaro-child PRIVATE setup_core ${TONVARO_WIN_TEST_LIBS})
add_dependencies(win_tests tonvaro-child)
target_compile_definitions(win_tests PRIVATE
    TONVARO_CHILD_EXE="$<TARGET_FILE:tonvaro-child>")

# Where the tree's Wine cannot run, every test that needs it says so and
# counts as skipped (wine-session check).
get_directory_property(all_tests TESTS)
foreach(t ${all_tests})
    get_test_property(${t} FIXTURES_REQUIRED fixtures)
    if(fixtures MATCHES "(^|;)wine(;|$)")
        set_property(TEST ${t} APPEND PROPERTY SKIP_REGULAR_EXPRESSION
            "SKIP: this machine cannot execute 32-bit programs")
    endif()
endforeach()
