# Packs the product tree into payload.bin with the host packer.
file(GLOB_RECURSE TONVARO_PRODUCT_FILES CONFIGURE_DEPENDS ${TONVARO_PRODUCT_DIR}/*)
set(pack_args pack ${TONVARO_PRODUCT_DIR} -o ${TONVARO_PAYLOAD_FILE})
set(pack_depends ${TONVARO_PRODUCT_FILES} ${TONVARO_PACK})
if(TONVARO_PRODUCT_LIST)
    list(APPEND pack_args --list ${TONVARO_PRODUCT_LIST})
    list(APPEND pack_depends ${TONVARO_PRODUCT_LIST})
endif()
add_custom_command(OUTPUT ${TONVARO_PAYLOAD_FILE}
    COMMAND ${TONVARO_PACK} ${pack_args}
    DEPENDS ${pack_depends}
    COMMENT "Packing ${TONVARO_PRODUCT_DIR}"
    VERBATIM)
add_custom_target(payload DEPENDS ${TONVARO_PAYLOAD_FILE})
