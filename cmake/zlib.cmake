# zlib from Debian's source of the machine's release (1.2.13 on Debian 12,
# 1.3.1 on Debian 13; tools/install-deps.sh fetches it), built for the
# shipped program rather than taken prebuilt: Debian's mingw libz.a is
# compiled for the Pentium Pro, for speed, without per-function sections and
# with its tables as constants. Here it follows the setup's processor floor,
# makes its CRC and fixed inflate tables at run time (into .bss, which costs
# no file bytes), knows no gzip, and lets the link drop every function that
# is not called. inffast.c is the hot loop and stays built for speed.
set(TONVARO_ZLIB_SOURCE /usr/local/src/tonvaro/zlib CACHE PATH "zlib source")
if(NOT EXISTS ${TONVARO_ZLIB_SOURCE}/zlib.h)
    message(FATAL_ERROR "no zlib source in ${TONVARO_ZLIB_SOURCE}: run tools/install-deps.sh as root")
endif()
file(STRINGS ${TONVARO_ZLIB_SOURCE}/zlib.h zlib_version REGEX "^#define ZLIB_VERSION ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" zlib_version "${zlib_version}")
message(STATUS "zlib ${zlib_version} from ${TONVARO_ZLIB_SOURCE}")

set(zlib_files adler32 compress crc32 deflate inffast inftrees trees uncompr zutil)
set(zlib_sources)
foreach(f ${zlib_files})
    list(APPEND zlib_sources ${TONVARO_ZLIB_SOURCE}/${f}.c)
endforeach()

# inflate.c marks its fixed tables as still to be built with a static flag
# that starts at 1: the program's one initialised writable datum, which
# costs a 512-byte .data section of the file for 4 bytes. The build compiles
# a copy in which the flag starts at 0, in .bss, and says they were built.
# A zlib whose text differs is compiled as it is.
file(READ ${TONVARO_ZLIB_SOURCE}/inflate.c inflate_patched)
set(change_1 "static int virgin = 1\;" "static int fixed_built\;")
set(change_2 "if (virgin) {" "if (!fixed_built) {")
set(change_3 "virgin = 0\;" "fixed_built = 1\;")
foreach(n 1 2 3)
    list(GET change_${n} 0 from)
    list(GET change_${n} 1 to)
    string(FIND "${inflate_patched}" "${from}" at)
    if(at EQUAL -1)
        set(inflate_patched "")
        break()
    endif()
    string(REPLACE "${from}" "${to}" inflate_patched "${inflate_patched}")
endforeach()
if(inflate_patched STREQUAL "")
    message(STATUS "zlib's inflate.c compiled as it is: its fixed-table flag stays in .data")
    list(APPEND zlib_sources ${TONVARO_ZLIB_SOURCE}/inflate.c)
else()
    set(inflate_copy ${CMAKE_BINARY_DIR}/zlib/inflate.c)
    file(CONFIGURE OUTPUT ${inflate_copy} CONTENT "${inflate_patched}" @ONLY)
    list(APPEND zlib_sources ${inflate_copy})
endif()
add_library(tonvaro_zlib STATIC ${zlib_sources})
target_include_directories(tonvaro_zlib PUBLIC ${TONVARO_ZLIB_SOURCE})
target_compile_definitions(tonvaro_zlib PRIVATE DYNAMIC_CRC_TABLE BUILDFIXED NO_GZIP)
# Not -fdata-sections: mingw's GCC then puts the zero-filled tables in .data,
# into the file.
target_compile_options(tonvaro_zlib PRIVATE -Os -ffunction-sections
    -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-ident ${TONVARO_SETUP_CODEGEN})
# The hot loops keep their speed: the decoder's inner loop, and the CRC-32
# that checks the archive at start and every file as it is written. At -O2
# that CRC took twice the time of the prebuilt library's (-O3) under Wine.
set_source_files_properties(${TONVARO_ZLIB_SOURCE}/inffast.c PROPERTIES COMPILE_OPTIONS -O2)
set_source_files_properties(${TONVARO_ZLIB_SOURCE}/crc32.c PROPERTIES COMPILE_OPTIONS -O3)
