# Native tree: the portable code under sanitizers, its tests, and the packer.
find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)
include(GoogleTest)

set(TONVARO_HOST_WARNINGS -Wall -Wextra -Werror)
set(TONVARO_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

# The packer is a release engineer's tool: optimised, no sanitizers.
add_library(portable STATIC ${TONVARO_PORTABLE_SOURCES})
target_include_directories(portable PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(portable PRIVATE ${TONVARO_HOST_WARNINGS} -O2)
target_link_libraries(portable PUBLIC ZLIB::ZLIB)

add_library(portable_san STATIC ${TONVARO_PORTABLE_SOURCES})
target_include_directories(portable_san PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(portable_san PRIVATE ${TONVARO_HOST_WARNINGS} ${TONVARO_SANITIZE} -g -O1)
target_link_options(portable_san PUBLIC ${TONVARO_SANITIZE})
target_link_libraries(portable_san PUBLIC ZLIB::ZLIB)

set(TONVARO_PACKER_SOURCES
    payload/packer/archive_file.cpp
    payload/packer/compress_entry.cpp
    payload/packer/deflate_join.cpp
    payload/packer/entry_writer.cpp
    payload/packer/pack.cpp
    payload/packer/pe_resource.cpp
    payload/packer/run_packer.cpp
    payload/packer/unpack.cpp
)

# libdeflate makes the smallest streams (Debian's libdeflate-dev).
find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h REQUIRED)
find_library(LIBDEFLATE_LIBRARY deflate REQUIRED)

add_library(packer_lib STATIC ${TONVARO_PACKER_SOURCES})
target_compile_options(packer_lib PRIVATE ${TONVARO_HOST_WARNINGS} -O2)
target_include_directories(packer_lib PRIVATE ${LIBDEFLATE_INCLUDE_DIR})
target_link_libraries(packer_lib PUBLIC portable ${LIBDEFLATE_LIBRARY})

add_executable(tonvaro-pack payload/packer/tonvaro_pack.cpp)
target_compile_options(tonvaro-pack PRIVATE ${TONVARO_HOST_WARNINGS} -O2)
target_link_libraries(tonvaro-pack PRIVATE packer_lib)

add_library(packer_san STATIC ${TONVARO_PACKER_SOURCES})
target_compile_options(packer_san PRIVATE ${TONVARO_HOST_WARNINGS} ${TONVARO_SANITIZE} -g -O1)
target_include_directories(packer_san PRIVATE ${LIBDEFLATE_INCLUDE_DIR})
target_link_libraries(packer_san PUBLIC portable_san ${LIBDEFLATE_LIBRARY})

file(GLOB TONVARO_HOST_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
add_executable(host_tests ${TONVARO_HOST_TESTS})
target_compile_options(host_tests PRIVATE ${TONVARO_HOST_WARNINGS} ${TONVARO_SANITIZE} -g -O1)
target_link_libraries(host_tests PRIVATE packer_san GTest::gtest_main)
target_compile_definitions(host_tests PRIVATE
    TONVARO_PACK="$<TARGET_FILE:tonvaro-pack>"
    TONVARO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(host_tests tonvaro-pack)
gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 60)

include(${CMAKE_SOURCE_DIR}/cmake/fuzz.cmake)
