# The sample player, plug-ins and uninstaller that the running-player and
# product tests start: the ones this tree builds, even when it packs
# another product.
include(${CMAKE_SOURCE_DIR}/product/programs.cmake)
add_dependencies(win_tests tonvaro-player tonvaro-deinstall ${TONVARO_PLUGIN_TARGETS})
target_compile_definitions(win_tests PRIVATE
    TONVARO_PLAYER_EXE="$<TARGET_FILE:tonvaro-player>"
    TONVARO_DEINSTALL_EXE="$<TARGET_FILE:tonvaro-deinstall>"
    TONVARO_PLUGINS_DIR="${TONVARO_PRODUCT_BIN}/Plugins")
target_sources(win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/win/fixtures/player/player_process.cpp)
