# The sample product's programs and help file, built with this tree's
# compilers: Zaphio.exe, Deinstall.exe, one library for each "Plugins/*.dll"
# line of payload.list, and Zaphio.chm. Included by cmake/product.cmake for
# the default product, and by the tests, which start the player whatever
# product the tree packs.
include_guard(GLOBAL)

set(TONVARO_PRODUCT_SOURCE ${CMAKE_SOURCE_DIR}/product)
set(TONVARO_PRODUCT_BIN ${CMAKE_CURRENT_BINARY_DIR}/product-bin)
set(TONVARO_PRODUCT_LIST_FILE ${TONVARO_PRODUCT_SOURCE}/payload.list)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TONVARO_PRODUCT_LIST_FILE})

# The entries of payload.list, comments and blank lines left out.
file(STRINGS ${TONVARO_PRODUCT_LIST_FILE} list_lines)
set(TONVARO_PRODUCT_ENTRIES)
foreach(line ${list_lines})
    string(STRIP "${line}" line)
    if(line AND NOT line MATCHES "^#")
        list(APPEND TONVARO_PRODUCT_ENTRIES "${line}")
    endif()
endforeach()

# Programs of the product may use the C runtime, linked in statically so
# that nothing beyond the system DLLs is needed. No time stamps, no build
# id, no symbols: two builds give the same bytes.
set(product_compile_options ${TONVARO_WIN_WARNINGS} -Os)
set(product_definitions WIN32_LEAN_AND_MEAN NOMINMAX WINVER=0x0400 _WIN32_WINNT=0x0400)
set(product_link_options -static -s -Wl,--no-insert-timestamp -Wl,--build-id=none)
set(product_libs -luser32 -lgdi32 -lkernel32)

function(tonvaro_product_target target output_name)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name})
    target_compile_options(${target} PRIVATE ${product_compile_options})
    target_compile_definitions(${target} PRIVATE ${product_definitions})
    target_link_options(${target} PRIVATE ${product_link_options})
    target_link_libraries(${target} PRIVATE ${product_libs})
endfunction()

add_executable(tonvaro-player WIN32
    ${TONVARO_PRODUCT_SOURCE}/player/zaphio.cpp
    ${TONVARO_PRODUCT_SOURCE}/player/zaphio.rc)
tonvaro_product_target(tonvaro-player Zaphio)
set_target_properties(tonvaro-player PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TONVARO_PRODUCT_BIN})
file(GLOB player_icons ${TONVARO_PRODUCT_SOURCE}/player/icons/*.ico)
set_property(SOURCE ${TONVARO_PRODUCT_SOURCE}/player/zaphio.rc APPEND PROPERTY OBJECT_DEPENDS
    ${player_icons})

include(${TONVARO_PRODUCT_SOURCE}/deinstall/deinstall.cmake)

# Built file of each entry that is not a static file of product/files.
set(TONVARO_PRODUCT_BUILT_ENTRIES Zaphio.exe Deinstall.exe Zaphio.chm)
set(TONVARO_PRODUCT_BUILT_FILES
    $<TARGET_FILE:tonvaro-player> $<TARGET_FILE:tonvaro-deinstall> ${TONVARO_PRODUCT_BIN}/Zaphio.chm)
set(TONVARO_PRODUCT_TARGETS tonvaro-player tonvaro-deinstall tonvaro-help)
set(TONVARO_PLUGIN_TARGETS)
foreach(entry ${TONVARO_PRODUCT_ENTRIES})
    if(entry MATCHES "^Plugins/([A-Za-z0-9_]+)\\.dll$")
        set(name ${CMAKE_MATCH_1})
        set(target tonvaro-plugin-${name})
        add_library(${target} SHARED ${TONVARO_PRODUCT_SOURCE}/plugins/plugin.cpp)
        tonvaro_product_target(${target} ${name})
        target_compile_definitions(${target} PRIVATE TONVARO_PLUGIN_NAME="${name}")
        set_target_properties(${target} PROPERTIES PREFIX ""
            RUNTIME_OUTPUT_DIRECTORY ${TONVARO_PRODUCT_BIN}/Plugins
            ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/product-import)
        list(APPEND TONVARO_PRODUCT_BUILT_ENTRIES ${entry})
        list(APPEND TONVARO_PRODUCT_BUILT_FILES $<TARGET_FILE:${target}>)
        list(APPEND TONVARO_PRODUCT_TARGETS ${target})
        list(APPEND TONVARO_PLUGIN_TARGETS ${target})
    endif()
endforeach()

# The help file: compiled from product/help in a scratch copy, because
# chmcmd writes beside its project, then its two time stamps cleared.
find_program(TONVARO_CHMCMD chmcmd)
if(NOT TONVARO_CHMCMD)
    message(FATAL_ERROR "chmcmd not found: the Debian package fp-utils compiles the help file")
endif()
find_program(TONVARO_PYTHON3 python3 REQUIRED)
set(help_sources Zaphio.hhp contents.hhc index.html playlists.html skins.html plugins.html)
set(help_work ${CMAKE_CURRENT_BINARY_DIR}/product-help)
set(help_inputs)
foreach(f ${help_sources})
    list(APPEND help_inputs ${TONVARO_PRODUCT_SOURCE}/help/${f})
endforeach()
add_custom_command(OUTPUT ${TONVARO_PRODUCT_BIN}/Zaphio.chm
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_work}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${help_work} ${TONVARO_PRODUCT_BIN}
    COMMAND ${CMAKE_COMMAND} -E copy ${help_inputs} ${help_work}
    COMMAND ${CMAKE_COMMAND} -E chdir ${help_work} ${TONVARO_CHMCMD} --no-html-scan Zaphio.hhp
    COMMAND ${TONVARO_PYTHON3} ${TONVARO_PRODUCT_SOURCE}/help/clear_chm_times.py
        ${help_work}/Zaphio.chm ${TONVARO_PRODUCT_BIN}/Zaphio.chm
    DEPENDS ${help_inputs} ${TONVARO_PRODUCT_SOURCE}/help/clear_chm_times.py
    COMMENT "Compiling the help file Zaphio.chm"
    VERBATIM)
add_custom_target(tonvaro-help DEPENDS ${TONVARO_PRODUCT_BIN}/Zaphio.chm)
