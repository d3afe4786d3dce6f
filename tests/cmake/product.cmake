# Static checks of the sample product this tree builds: the player's icon
# order, and (when the tree packs the sample product) the payload's entries
# and a byte-for-byte extraction of the setup program.
include(${CMAKE_SOURCE_DIR}/product/programs.cmake)

add_test(NAME product.player_icons
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/win/fixtures/player/check_player_icons.py
        $<TARGET_FILE:tonvaro-player> ${CMAKE_SOURCE_DIR}/product/player/icons)

if(TONVARO_PRODUCT_STAGE)
    add_test(NAME product.payload
        COMMAND ${CMAKE_SOURCE_DIR}/tests/win/fixtures/player/check_payload.sh
            ${TONVARO_PACK} $<TARGET_FILE:setup> ${TONVARO_PAYLOAD_FILE} ${TONVARO_PRODUCT_STAGE}
            ${CMAKE_SOURCE_DIR}/product/payload.list 21)
endif()

# The component tests link the payload as a resource too.
if(TARGET payload)
    add_dependencies(win_tests payload)
endif()
