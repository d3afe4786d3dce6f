# The payload: payload.bin packed with the host packer. By default the
# sample product is built here, staged in product-stage and packed in the
# order of product/payload.list; a product directory of the release
# engineer's (make setup PRODUCT=DIR) is packed as it is, and nothing of
# ours is built.
get_filename_component(product_dir "${TONVARO_PRODUCT_DIR}" REALPATH)
# tonvaro-pack's --level: empty for zlib's default, which the sample
# product keeps; make setup packs a product of one's own at "smallest".
set(TONVARO_PACK_LEVEL "" CACHE STRING "Compression level of the payload: 0 to 9, smallest, or empty for 6")
set(level_args)
if(NOT TONVARO_PACK_LEVEL STREQUAL "")
    set(level_args --level ${TONVARO_PACK_LEVEL})
endif()
get_filename_component(default_product_dir "${CMAKE_SOURCE_DIR}/product/files" REALPATH)

if(NOT product_dir STREQUAL default_product_dir OR TONVARO_PRODUCT_LIST)
    file(GLOB_RECURSE TONVARO_PRODUCT_FILES CONFIGURE_DEPENDS ${TONVARO_PRODUCT_DIR}/*)
    set(pack_args pack ${TONVARO_PRODUCT_DIR} -o ${TONVARO_PAYLOAD_FILE} ${level_args})
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
    return()
endif()

include(${CMAKE_SOURCE_DIR}/product/programs.cmake)

set(TONVARO_PRODUCT_STAGE ${CMAKE_CURRENT_BINARY_DIR}/product-stage)
set(stage_stamp ${CMAKE_CURRENT_BINARY_DIR}/product-stage.stamp)

# Every static file must be listed, so that what lies in product/files is
# what gets installed.
file(GLOB_RECURSE static_files CONFIGURE_DEPENDS RELATIVE ${default_product_dir}
    ${default_product_dir}/*)
foreach(f ${static_files})
    if(NOT f IN_LIST TONVARO_PRODUCT_ENTRIES)
        message(FATAL_ERROR "product/files/${f} is missing from product/payload.list")
    endif()
endforeach()

# One copy command for each entry, from the build or from product/files.
set(stage_commands)
set(stage_inputs ${TONVARO_PRODUCT_LIST_FILE})
set(stage_directories ${TONVARO_PRODUCT_STAGE})
foreach(entry ${TONVARO_PRODUCT_ENTRIES})
    list(FIND TONVARO_PRODUCT_BUILT_ENTRIES "${entry}" built)
    if(built GREATER -1)
        list(GET TONVARO_PRODUCT_BUILT_FILES ${built} source)
    else()
        set(source ${default_product_dir}/${entry})
        if(NOT EXISTS ${source})
            message(FATAL_ERROR "product/payload.list names ${entry}, which neither the build "
                                "makes nor product/files holds")
        endif()
    endif()
    list(APPEND stage_inputs ${source})
    get_filename_component(directory ${TONVARO_PRODUCT_STAGE}/${entry} DIRECTORY)
    list(APPEND stage_directories ${directory})
    list(APPEND stage_commands COMMAND ${CMAKE_COMMAND} -E copy ${source} ${TONVARO_PRODUCT_STAGE}/${entry})
endforeach()
list(REMOVE_DUPLICATES stage_directories)

# The stage is made anew each time, so a file dropped from the list does not
# linger in it.
add_custom_command(OUTPUT ${stage_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TONVARO_PRODUCT_STAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage_directories}
    ${stage_commands}
    COMMAND ${CMAKE_COMMAND} -E touch ${stage_stamp}
    DEPENDS ${stage_inputs} ${TONVARO_PRODUCT_TARGETS}
    COMMENT "Staging the sample product in product-stage"
    VERBATIM)

add_custom_command(OUTPUT ${TONVARO_PAYLOAD_FILE}
    COMMAND ${TONVARO_PACK} pack ${TONVARO_PRODUCT_STAGE} -o ${TONVARO_PAYLOAD_FILE}
        --list ${TONVARO_PRODUCT_LIST_FILE} ${level_args}
    DEPENDS ${stage_stamp} ${TONVARO_PRODUCT_LIST_FILE} ${TONVARO_PACK}
    COMMENT "Packing the sample product"
    VERBATIM)
add_custom_target(payload DEPENDS ${TONVARO_PAYLOAD_FILE})
