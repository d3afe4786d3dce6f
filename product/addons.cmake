# Sample add-on installers: built beside each setup program, where the setup
# looks for add-ons; the demo and the end-to-end tests place them.
set(TONVARO_ADDONS pictavo pyrolo audiocd)
foreach(addon ${TONVARO_ADDONS})
    add_executable(addon_${addon} WIN32 product/addons/addon.cpp product/addons/${addon}.rc)
    set_target_properties(addon_${addon} PROPERTIES
        OUTPUT_NAME ${addon}-setup
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/addons)
    target_compile_options(addon_${addon} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TONVARO_WIN_WARNINGS}>)
    target_link_options(addon_${addon} PRIVATE -static -s -Wl,--no-insert-timestamp)
    target_link_libraries(addon_${addon} PRIVATE -lkernel32 -luser32)
endforeach()
