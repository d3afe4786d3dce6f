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

# Built like the setup: no C runtime, and only system DLLs known everywhere
# imported (ole32 and shell32 are loaded at run time, common/system_dlls.h),
# so that it runs wherever the setup ran.
add_executable(tonvaro-deinstall WIN32
    ${TONVARO_PRODUCT_SOURCE}/deinstall/deinstall.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/installed_tree.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/link_cleanup.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/registration_cleanup.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/self_removal.cpp
    ${TONVARO_PRODUCT_SOURCE}/deinstall/deinstall.rc
    ${CMAKE_SOURCE_DIR}/common/freestanding.cpp
    ${deinstall_list_include})
set_target_properties(tonvaro-deinstall PROPERTIES
    OUTPUT_NAME Deinstall
    RUNTIME_OUTPUT_DIRECTORY ${TONVARO_PRODUCT_BIN}
    LINKER_LANGUAGE CXX)
target_include_directories(tonvaro-deinstall PRIVATE ${CMAKE_SOURCE_DIR}
    ${CMAKE_CURRENT_BINARY_DIR}/deinstall-generated)
target_compile_options(tonvaro-deinstall PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${TONVARO_WIN_WARNINGS} ${TONVARO_SETUP_FLAGS}>)
target_link_options(tonvaro-deinstall PRIVATE -Wl,-e,${TONVARO_DEINSTALL_ENTRY}
    ${TONVARO_FREESTANDING_LINK_OPTIONS})
target_link_libraries(tonvaro-deinstall PRIVATE setup_core -lkernel32 -luser32 -ladvapi32 -luuid
    -lgcc)
set_property(SOURCE ${TONVARO_PRODUCT_SOURCE}/deinstall/deinstall.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/setup/tonvaro.manifest)
