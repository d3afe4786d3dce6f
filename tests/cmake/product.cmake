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

    # The same stage packed at the smallest level, in smallest/setup.exe.
    set(smallest_payload ${CMAKE_CURRENT_BINARY_DIR}/payload-smallest.bin)
    add_custom_command(OUTPUT ${smallest_payload}
        COMMAND ${TONVARO_PACK} pack ${TONVARO_PRODUCT_STAGE} -o ${smallest_payload}
            --list ${TONVARO_PRODUCT_LIST_FILE} --level smallest
        DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/product-stage.stamp ${TONVARO_PRODUCT_LIST_FILE} ${TONVARO_PACK}
        VERBATIM)
    add_custom_target(payload_smallest DEPENDS ${smallest_payload})
    add_dependencies(payload_smallest payload)
    tonvaro_setup_executable(setup_smallest ${CMAKE_BINARY_DIR}/smallest ${smallest_payload})
    add_dependencies(setup_smallest payload_smallest)
    add_test(NAME product.payload_smallest
        COMMAND ${CMAKE_SOURCE_DIR}/tests/win/fixtures/player/check_payload.sh
            ${TONVARO_PACK} $<TARGET_FILE:setup_smallest> ${smallest_payload} ${TONVARO_PRODUCT_STAGE}
            ${CMAKE_SOURCE_DIR}/product/payload.list 21)
endif()

# The component tests link the payload as a resource too.
if(TARGET payload)
    add_dependencies(win_tests payload)
endif()
