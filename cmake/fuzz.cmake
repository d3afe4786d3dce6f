# libFuzzer targets over the archive reader and the packer's PE resource
# lookup, built with clang (libFuzzer needs it) beside this tree's compiler.
# ctest runs each for a fixed number of inputs; the `fuzz` target runs them
# for FUZZ_SECONDS each (300 unless set in the environment), keeping what
# they learn in fuzz/long/NAME/corpus.
set(TONVARO_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)
set(TONVARO_FUZZ_SOURCE ${CMAKE_SOURCE_DIR}/tests/fuzz)
set(TONVARO_FUZZ_SCRIPT ${TONVARO_FUZZ_SOURCE}/run_fuzzer.sh)
# Inputs per fuzzer in ctest: together under 10 s on this two-core machine
# when idle, about 40 s while it builds beside them.
set(TONVARO_FUZZ_RUNS_archive 100000)
set(TONVARO_FUZZ_RUNS_pe_resource 100000)

find_program(TONVARO_CLANGXX NAMES clang++-14 clang++)
set(TONVARO_FUZZ_FLAGS -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
    -fno-sanitize-recover=all -fno-omit-frame-pointer -Wall -Wextra)

# libFuzzer's runtime comes in its own package: try it once.
if(TONVARO_CLANGXX AND NOT DEFINED TONVARO_FUZZ_WORKS)
    set(probe ${CMAKE_BINARY_DIR}/fuzz-probe)
    file(WRITE ${probe}.cpp
        "#include <cstddef>\n#include <cstdint>\n"
        "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
    execute_process(COMMAND ${TONVARO_CLANGXX} ${TONVARO_FUZZ_FLAGS} ${probe}.cpp -o ${probe}
        RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
    file(REMOVE ${probe} ${probe}.cpp)
    if(probe_result EQUAL 0)
        set(TONVARO_FUZZ_WORKS ON CACHE INTERNAL "clang links libFuzzer programs")
    endif()
endif()

if(NOT TONVARO_FUZZ_WORKS)
    set(reason "clang++ with libFuzzer (Debian: clang, libclang-rt-14-dev) is missing")
    message(STATUS "Fuzzers skipped: ${reason}")
    add_test(NAME fuzz.skipped COMMAND sh -c "echo 'fuzzers skipped: ${reason}'; exit 77")
    set_tests_properties(fuzz.skipped PROPERTIES SKIP_RETURN_CODE 77)
    add_custom_target(fuzz COMMAND ${CMAKE_COMMAND} -E echo "fuzzers skipped: ${reason}" VERBATIM)
    return()
endif()

# fuzzer name, then the sources it is built from besides its own.
function(tonvaro_fuzzer name)
    set(output ${TONVARO_FUZZ_DIR}/${name}_fuzzer)
    set(sources ${TONVARO_FUZZ_SOURCE}/${name}_fuzzer.cpp)
    foreach(source ${ARGN})
        list(APPEND sources ${CMAKE_SOURCE_DIR}/${source})
    endforeach()
    file(GLOB headers ${CMAKE_SOURCE_DIR}/common/*.h ${CMAKE_SOURCE_DIR}/payload/*.h
        ${CMAKE_SOURCE_DIR}/payload/packer/*.h)
    add_custom_command(OUTPUT ${output}
        COMMAND ${TONVARO_CLANGXX} ${TONVARO_FUZZ_FLAGS} -I${CMAKE_SOURCE_DIR} ${sources} -lz
            -o ${output}
        DEPENDS ${sources} ${headers}
        COMMENT "Building fuzzer ${name}_fuzzer"
        VERBATIM)
    set(TONVARO_FUZZERS ${TONVARO_FUZZERS} ${output} PARENT_SCOPE)
endfunction()

set(TONVARO_FUZZERS)
tonvaro_fuzzer(archive common/text.cpp payload/format.cpp payload/entry_name.cpp
    payload/inflate_entry.cpp)
tonvaro_fuzzer(pe_resource payload/format.cpp payload/packer/pe_resource.cpp)

# Seeds packed by the packer: the product's static files (names in
# directories, short texts), one of them alone, no file at all, and an entry
# longer than one 10000-byte piece.
set(seeds ${TONVARO_FUZZ_DIR}/seeds)
set(pack $<TARGET_FILE:tonvaro-pack>)
file(MAKE_DIRECTORY ${seeds}/archive ${seeds}/pe_resource ${TONVARO_FUZZ_DIR}/nothing)
file(WRITE ${TONVARO_FUZZ_DIR}/readme.list "Readme.txt\n")
file(WRITE ${TONVARO_FUZZ_DIR}/long.list "packer_test.cpp\ntext_test.cpp\n")
file(GLOB_RECURSE product_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/product/files/*)
set(archive_seeds ${seeds}/archive/product-files.bin ${seeds}/archive/readme.bin
    ${seeds}/archive/empty.bin ${seeds}/archive/long-entry.bin)
add_custom_command(OUTPUT ${archive_seeds}
    COMMAND ${pack} pack ${CMAKE_SOURCE_DIR}/product/files -o ${seeds}/archive/product-files.bin
    COMMAND ${pack} pack ${CMAKE_SOURCE_DIR}/product/files --list ${TONVARO_FUZZ_DIR}/readme.list
        -o ${seeds}/archive/readme.bin
    COMMAND ${pack} pack ${TONVARO_FUZZ_DIR}/nothing -o ${seeds}/archive/empty.bin
    COMMAND ${pack} pack ${CMAKE_SOURCE_DIR}/tests/host --list ${TONVARO_FUZZ_DIR}/long.list
        -o ${seeds}/archive/long-entry.bin
    DEPENDS tonvaro-pack ${product_files} ${CMAKE_SOURCE_DIR}/tests/host/packer_test.cpp
        ${CMAKE_SOURCE_DIR}/tests/host/text_test.cpp
    VERBATIM)

# PE seeds of both widths: the setup's own resources and a packed payload,
# linked by the setup's toolchain around an empty program.
set(pe_seeds)
# The resource script takes the compressed licence from licence/ of the
# directory windres runs in.
add_custom_command(OUTPUT ${TONVARO_FUZZ_DIR}/licence/licence.z
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/make_licence.py
            ${CMAKE_SOURCE_DIR}/setup/licence.txt ${TONVARO_FUZZ_DIR}/licence
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/licence.txt ${CMAKE_SOURCE_DIR}/tools/make_licence.py
    VERBATIM)
foreach(arch i686 x86_64)
    find_program(TONVARO_${arch}_GCC ${arch}-w64-mingw32-gcc)
    find_program(TONVARO_${arch}_WINDRES ${arch}-w64-mingw32-windres)
    if(NOT TONVARO_${arch}_GCC OR NOT TONVARO_${arch}_WINDRES)
        message(STATUS "Fuzzer seeds: no ${arch} mingw-w64 toolchain, no ${arch} PE seed")
        continue()
    endif()
    if(arch STREQUAL "i686")
        set(entry _seed_entry)
    else()
        set(entry seed_entry)
    endif()
    set(work ${TONVARO_FUZZ_DIR}/seed-${arch})
    file(WRITE ${work}-payload.rc "103 RAWDATA \"${seeds}/archive/product-files.bin\"\n")
    add_custom_command(OUTPUT ${seeds}/pe_resource/setup-resources-${arch}.exe
        COMMAND ${TONVARO_${arch}_WINDRES} -I${CMAKE_SOURCE_DIR}/setup
            -i ${CMAKE_SOURCE_DIR}/setup/setup.rc -o ${work}-setup-rc.o
        COMMAND ${TONVARO_${arch}_WINDRES} -i ${work}-payload.rc -o ${work}-payload-rc.o
        COMMAND ${TONVARO_${arch}_GCC} -Os -nostdlib -nostartfiles -s -Wl,-e,${entry}
            -Wl,--subsystem,windows ${TONVARO_FUZZ_SOURCE}/seed_program.c
            ${work}-setup-rc.o ${work}-payload-rc.o -o ${seeds}/pe_resource/setup-resources-${arch}.exe
        DEPENDS ${seeds}/archive/product-files.bin ${TONVARO_FUZZ_SOURCE}/seed_program.c
            ${CMAKE_SOURCE_DIR}/setup/setup.rc ${CMAKE_SOURCE_DIR}/setup/ids.h
            ${TONVARO_FUZZ_DIR}/licence/licence.z
        WORKING_DIRECTORY ${TONVARO_FUZZ_DIR}
        VERBATIM)
    list(APPEND pe_seeds ${seeds}/pe_resource/setup-resources-${arch}.exe)
endforeach()

add_custom_target(fuzzers ALL DEPENDS ${TONVARO_FUZZERS} ${archive_seeds} ${pe_seeds})

# Reproducers of faults found and fixed stay in tests/fuzz/regressions and
# are run again every time.
foreach(name archive pe_resource)
    set(regressions ${TONVARO_FUZZ_SOURCE}/regressions/${name})
    add_test(NAME fuzz.${name}
        COMMAND sh ${TONVARO_FUZZ_SCRIPT} short ${TONVARO_FUZZ_DIR}/${name}_fuzzer
            ${TONVARO_FUZZ_DIR}/short/${name} ${TONVARO_FUZZ_RUNS_${name}}
            ${seeds}/${name} ${regressions})
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300)
endforeach()

# The setup executables of the Windows trees, when built, seed the long run
# of the lookup as well: the shipped i686 one, the x86_64 one, and one with
# an empty payload. They are too large for the short run's pace.
set(windows_setups ${CMAKE_BINARY_DIR}/../win32/setup.exe ${CMAKE_BINARY_DIR}/../win64/setup.exe
    ${CMAKE_BINARY_DIR}/../win64/variants/empty/setup.exe)
add_custom_target(fuzz
    COMMAND sh ${TONVARO_FUZZ_SCRIPT} long ${TONVARO_FUZZ_DIR}/archive_fuzzer
        ${TONVARO_FUZZ_DIR}/long/archive 300 ${seeds}/archive
        ${TONVARO_FUZZ_SOURCE}/regressions/archive
    COMMAND sh ${TONVARO_FUZZ_SCRIPT} long ${TONVARO_FUZZ_DIR}/pe_resource_fuzzer
        ${TONVARO_FUZZ_DIR}/long/pe_resource 300 ${seeds}/pe_resource
        ${TONVARO_FUZZ_SOURCE}/regressions/pe_resource ${windows_setups}
    DEPENDS fuzzers
    USES_TERMINAL
    VERBATIM)
