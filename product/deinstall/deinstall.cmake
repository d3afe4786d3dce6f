# Deinstall.exe: links the setup's own code for what both must agree on
# (registry roots, key names, the player's window, the installer copies) and
# carries the product's file list, made from payload.list at build time.
set(deinstall_list_include ${CMAKE_CURRENT_BINARY_DIR}/deinstall-generated/installed_files.inc)
add_custom_command(OUTPUT ${deinstall_list_include}
    COMMAND ${CMAKE_COMMAND} -DLIST=${TONVARO_PRODUCT_LIST_FILE} -DOUTPUT=${deinstall_list_include}
        -P ${TONVARO_PRODUCT_SOURCE}/deinstall/installed_files.cmake
    DEPENDS ${TONVARO_PRODUCT_LIST_FILE} ${TONVARO_PRODUCT_SOURCE}/deinstall/installed_files.cmake
    COMMENT "Listing the installed files for Deinstall.exe"
    VERBATIM)

add_executable(tonvaro-deinstall WIN32
    ${TONVARO_PRODUCT_SOURCE}/deinstall/deinstall.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/installed_tree.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/link_cleanup.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/registration_cleanup.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/self_removal.cpp
    ${deinstall_list_include})
tonvaro_product_target(tonvaro-deinstall Deinstall)
target_include_directories(tonvaro-deinstall PRIVATE ${CMAKE_SOURCE_DIR}
    ${CMAKE_CURRENT_BINARY_DIR}/deinstall-generated)
target_link_libraries(tonvaro-deinstall PRIVATE setup_core -ladvapi32 -lshell32 -lole32 -luuid
    -lversion)
set_target_properties(tonvaro-deinstall PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TONVARO_PRODUCT_BIN})
