# Stand-in add-on installers with the version resources the extension tests
# need, and a lister that runs discovery from wherever a test copies it.
set(ext_src ${CMAKE_SOURCE_DIR}/tests/win/fixtures/extensions)
set(ext_out ${CMAKE_BINARY_DIR}/extension-fixtures)

function(tonvaro_add_on_fixture name rc)
    add_executable(ext_fixture_${name} ${ext_src}/add_on.cpp ${rc})
    set_target_properties(ext_fixture_${name} PROPERTIES
        OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${ext_out})
    target_compile_options(ext_fixture_${name} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:${TONVARO_WIN_WARNINGS}>)
    target_link_options(ext_fixture_${name} PRIVATE -static)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${ext_src}/add_on_version.rci)
    add_dependencies(win_tests ext_fixture_${name})
endfunction()

foreach(name pictavo short_marker no_marker comments_marker no_title pyrolo_1_2 pyrolo_1_10
             audio_cd)
    tonvaro_add_on_fixture(${name} ${ext_src}/${name}.rc)
endforeach()

# windres always writes a whole fixed version record; these two are raw.
function(tonvaro_raw_add_on_fixture name fixed_bytes)
    set(bin ${CMAKE_CURRENT_BINARY_DIR}/ext-${name}.bin)
    add_custom_command(OUTPUT ${bin}
        COMMAND ${Python3_EXECUTABLE} ${ext_src}/raw_version.py ${bin} ${fixed_bytes} ${ARGN}
        DEPENDS ${ext_src}/raw_version.py
        VERBATIM)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/ext-${name}.rc)
    file(WRITE ${rc}.in "1 16 \"${bin}\"\n")
    configure_file(${rc}.in ${rc} COPYONLY)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${bin})
    tonvaro_add_on_fixture(${name} ${rc})
endfunction()

tonvaro_raw_add_on_fixture(unversioned 0
    "ProductName=Unversioned Add-On"
    "PrivateBuild=Quenvale Tonvaro Extension"
    "Comments=Has no fixed version record.")
tonvaro_raw_add_on_fixture(short_fixed 20
    "ProductName=Short Fixed Record Add-On"
    "PrivateBuild=Quenvale Tonvaro Extension"
    "Comments=Its fixed version record is 20 bytes long.")

add_executable(extension_lister
    ${ext_src}/lister.cpp
    ${ext_src}/list_dialog.cpp
    ${CMAKE_SOURCE_DIR}/tests/win/message_recorder.cpp
    ${CMAKE_SOURCE_DIR}/setup/setup.rc)
set_target_properties(extension_lister PROPERTIES
    OUTPUT_NAME extension-lister RUNTIME_OUTPUT_DIRECTORY ${ext_out})
target_include_directories(extension_lister PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(extension_lister PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${TONVARO_WIN_WARNINGS}>)
target_link_options(extension_lister PRIVATE -static)
target_link_libraries(extension_lister PRIVATE setup_core ${TONVARO_WIN_TEST_LIBS})
add_dependencies(win_tests extension_lister)

target_sources(win_tests PRIVATE ${ext_src}/list_dialog.cpp)
target_compile_definitions(win_tests PRIVATE
    TONVARO_EXTENSION_FIXTURES="${ext_out}"
    TONVARO_EXTENSION_LISTER="$<TARGET_FILE:extension_lister>")
