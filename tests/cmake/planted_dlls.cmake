# DLLs named like the system libraries the setup program uses, to be placed
# beside it, and a program that loads them by bare name as the control.
set(TONVARO_PLANTED_DLLS ${CMAKE_BINARY_DIR}/planted-dlls)
set(planted_dll_targets)
foreach(dll ole32 olepro32 shell32 version comctl32)
    add_library(planted_${dll} SHARED tests/win/fixtures/planted/planted.c)
    set_target_properties(planted_${dll} PROPERTIES
        OUTPUT_NAME ${dll} PREFIX ""
        RUNTIME_OUTPUT_DIRECTORY ${TONVARO_PLANTED_DLLS}
        ARCHIVE_OUTPUT_DIRECTORY ${TONVARO_PLANTED_DLLS}/import)
    target_compile_options(planted_${dll} PRIVATE ${TONVARO_WIN_WARNINGS})
    target_link_options(planted_${dll} PRIVATE -static)
    list(APPEND planted_dll_targets planted_${dll})
endforeach()
add_executable(load_by_name tests/win/fixtures/planted/load_by_name.c)
set_target_properties(load_by_name PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TONVARO_PLANTED_DLLS})
target_compile_options(load_by_name PRIVATE ${TONVARO_WIN_WARNINGS})
target_link_options(load_by_name PRIVATE -static)
add_custom_target(planted_dlls ALL DEPENDS ${planted_dll_targets} load_by_name)
