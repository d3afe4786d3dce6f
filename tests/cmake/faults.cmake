# Setup programs around small hostile archives (see payload_variants.py),
# and a program that holds a file open without sharing it.
set(TONVARO_HOSTILE_PAYLOADS cut-short past-end name-absolute name-parent name-drive name-device)
set(hostile_files)
foreach(v ${TONVARO_HOSTILE_PAYLOADS})
    list(APPEND hostile_files ${TONVARO_VARIANTS_DIR}/${v}.bin)
endforeach()
add_custom_command(OUTPUT ${hostile_files}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tools/payload_variants.py
        --hostile ${TONVARO_VARIANTS_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/tests/tools/payload_variants.py
    VERBATIM)
add_custom_target(hostile_payloads DEPENDS ${hostile_files})
foreach(v ${TONVARO_HOSTILE_PAYLOADS})
    tonvaro_setup_executable(setup_${v} ${TONVARO_VARIANTS_DIR}/${v} ${TONVARO_VARIANTS_DIR}/${v}.bin)
    add_dependencies(setup_${v} hostile_payloads)
endforeach()

# Cases that need a mount say so when the machine refuses one.
set_tests_properties(e2e.faults.a_full_disk_stops_the_run
    e2e.faults.read_only_places_stop_the_run
    PROPERTIES SKIP_REGULAR_EXPRESSION "SKIP: ")
