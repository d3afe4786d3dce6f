# Windows trees: the setup program (i686 ships, x86_64 runs the tests under Wine).
enable_language(RC)

set(TONVARO_PACK "" CACHE FILEPATH "the host packer, build/host/tonvaro-pack")
set(TONVARO_PRODUCT_DIR "${CMAKE_SOURCE_DIR}/product/files" CACHE PATH "product tree to pack")
set(TONVARO_PRODUCT_LIST "" CACHE FILEPATH "optional list of product files, in installation order")
set(TONVARO_PAYLOAD "" CACHE FILEPATH "a payload packed earlier, linked unchanged")
set(TONVARO_BUILD_TESTS ON CACHE BOOL "build the Windows tests (run them only in the x86_64 tree)")

# Link only what each target names.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")

set(TONVARO_WIN_WARNINGS -Wall -Wextra -Werror)
# No exceptions, no RTTI, no unwind tables, no C runtime: see common/freestanding.cpp.
# Sections per function and link-time optimisation let the link keep only
# what is reached: the shipped program's size is a goal of its own.
set(TONVARO_SETUP_FLAGS -Os -flto -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -ffreestanding -fno-stack-protector -fno-ident -fno-threadsafe-statics
    -fno-tree-loop-distribute-patterns -ffunction-sections -fdata-sections
    "SHELL:-include ${CMAKE_SOURCE_DIR}/common/freestanding.h")
set(TONVARO_SETUP_DEFINES WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0400 _WIN32_IE=0x0400 WINVER=0x0400)
# make bench's breakdown of an installation: common/profile.h.
option(TONVARO_PROFILE "time each kind of work of an installation" OFF)
if(TONVARO_PROFILE)
    list(APPEND TONVARO_SETUP_DEFINES TONVARO_PROFILE)
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(TONVARO_ENTRY _setup_entry@0)
    set(TONVARO_DEINSTALL_ENTRY _deinstall_entry@0)
    # The Win32 ABI promises only 4-byte stack alignment on i686; keeping 16
    # costs an alignment prologue in many functions.
    list(APPEND TONVARO_SETUP_FLAGS -mpreferred-stack-boundary=2)
    # Arguments pushed rather than stored into a frame reserved up front:
    # several bytes less at every call. GCC pushes only without stack
    # probes, which no frame here needs (none comes near the 4 KiB guard
    # page; the frame limit below fails the build if one ever does). Without
    # a frame pointer, ebp is one more register and no prologue sets it up.
    # Code generation, so the link (where LTO compiles) needs them too.
    set(TONVARO_SETUP_CODEGEN -mno-accumulate-outgoing-args -mno-stack-arg-probe
        -Werror=frame-larger-than=3072 -fomit-frame-pointer -march=i386 -mtune=generic)
    list(APPEND TONVARO_SETUP_FLAGS ${TONVARO_SETUP_CODEGEN})
    # An executable is the first image in its process, so it always gets its
    # preferred base (Windows 95 ignores relocations of an .exe anyway): no
    # relocation section, and therefore no address-space randomisation.
    set(TONVARO_SETUP_IMAGE_OPTIONS -Wl,--disable-reloc-section)
else()
    set(TONVARO_ENTRY setup_entry)
    set(TONVARO_DEINSTALL_ENTRY deinstall_entry)
    # Windows maps an image from its file whatever the file alignment; Wine
    # does so only for page-aligned sections and otherwise copies the whole
    # image, payload included, into private memory. This tree only runs under
    # Wine, so align it, and its memory is the program's own as on Windows.
    set(TONVARO_SETUP_IMAGE_OPTIONS -Wl,--file-alignment,4096)
endif()

# Every source of the subsystem folders, but the four that only the setup
# executable has (entry point, C-runtime replacement, the small Adler-32,
# real message box).
file(GLOB TONVARO_SETUP_CORE_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/common/*.cpp
    ${CMAKE_SOURCE_DIR}/setup/*.cpp
    ${CMAKE_SOURCE_DIR}/payload/*.cpp
    ${CMAKE_SOURCE_DIR}/install/*.cpp
    ${CMAKE_SOURCE_DIR}/registration/*.cpp
    ${CMAKE_SOURCE_DIR}/extensions/*.cpp)
list(REMOVE_ITEM TONVARO_SETUP_CORE_SOURCES
    ${CMAKE_SOURCE_DIR}/setup/entry.cpp
    ${CMAKE_SOURCE_DIR}/common/freestanding.cpp
    ${CMAKE_SOURCE_DIR}/common/adler32.cpp
    ${CMAKE_SOURCE_DIR}/common/show_message.cpp)

# The licence agreement, compressed for the resources, and its length and
# CRC for the code (tools/make_licence.py).
set(TONVARO_LICENCE_DIR ${CMAKE_BINARY_DIR}/licence)
add_custom_command(OUTPUT ${TONVARO_LICENCE_DIR}/licence.z ${TONVARO_LICENCE_DIR}/licence_size.h
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/make_licence.py
            ${CMAKE_SOURCE_DIR}/setup/licence.txt ${TONVARO_LICENCE_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/licence.txt ${CMAKE_SOURCE_DIR}/tools/make_licence.py
    VERBATIM)
add_custom_target(setup_licence
    DEPENDS ${TONVARO_LICENCE_DIR}/licence.z ${TONVARO_LICENCE_DIR}/licence_size.h)

include(cmake/zlib.cmake)

add_library(setup_core STATIC ${TONVARO_SETUP_CORE_SOURCES})
# zlib.h of the zlib the programs link, not the mingw package's.
target_include_directories(setup_core BEFORE PUBLIC ${TONVARO_ZLIB_SOURCE})
add_dependencies(setup_core setup_licence)
target_include_directories(setup_core PRIVATE ${TONVARO_LICENCE_DIR})
target_include_directories(setup_core PUBLIC ${CMAKE_SOURCE_DIR} /usr/${TONVARO_TRIPLET}/include)
target_compile_options(setup_core PRIVATE ${TONVARO_WIN_WARNINGS} ${TONVARO_SETUP_FLAGS})
target_compile_definitions(setup_core PUBLIC ${TONVARO_SETUP_DEFINES})

# What every setup executable has besides its payload: the entry point, the
# freestanding runtime, the small Adler-32, the real message box and the
# resources.
add_library(setup_shell OBJECT
    setup/entry.cpp
    common/freestanding.cpp
    common/adler32.cpp
    common/show_message.cpp
    setup/setup.rc
)
target_include_directories(setup_shell PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(setup_shell PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${TONVARO_WIN_WARNINGS} ${TONVARO_SETUP_FLAGS}>)
target_compile_definitions(setup_shell PRIVATE ${TONVARO_SETUP_DEFINES})
set_property(SOURCE setup/setup.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/setup/ids.h
    ${CMAKE_SOURCE_DIR}/setup/tonvaro.manifest
    ${CMAKE_SOURCE_DIR}/setup/art/header-left.bmp
    ${CMAKE_SOURCE_DIR}/setup/art/header-right.bmp
    ${CMAKE_SOURCE_DIR}/setup/art/box-empty.ico
    ${CMAKE_SOURCE_DIR}/setup/art/box-ticked.ico
    ${CMAKE_SOURCE_DIR}/setup/art/setup.ico
    ${TONVARO_LICENCE_DIR}/licence.z)
add_dependencies(setup_shell setup_licence)

# A program without the C runtime: the setup, and the uninstaller it
# installs. Each names its own entry point.
set(TONVARO_FREESTANDING_LINK_OPTIONS
    -nostdlib -nostartfiles -s
    -Wl,--subsystem,windows
    -Wl,--no-insert-timestamp
    -Wl,--build-id=none
    -Wl,--gc-sections -flto -Os
    ${TONVARO_SETUP_IMAGE_OPTIONS} ${TONVARO_SETUP_CODEGEN})
set(TONVARO_SETUP_LINK_OPTIONS -Wl,-e,${TONVARO_ENTRY} ${TONVARO_FREESTANDING_LINK_OPTIONS})

# shell32, comctl32 and version are loaded at run time: common/system_dlls.h.
set(TONVARO_SETUP_LIBS tonvaro_zlib -lkernel32 -luser32 -lgdi32 -ladvapi32 -lgcc)

# One setup executable with the given payload file linked as RAWDATA 103.
function(tonvaro_setup_executable name output_dir payload)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}-payload.rc)
    file(WRITE ${rc}.in "103 RAWDATA \"${payload}\"\n")
    configure_file(${rc}.in ${rc} COPYONLY)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${payload})
    add_executable(${name} WIN32 ${rc} $<TARGET_OBJECTS:setup_shell>)
    set_target_properties(${name} PROPERTIES
        OUTPUT_NAME setup
        RUNTIME_OUTPUT_DIRECTORY ${output_dir}
        LINKER_LANGUAGE CXX)
    target_link_options(${name} PRIVATE ${TONVARO_SETUP_LINK_OPTIONS})
    target_link_libraries(${name} PRIVATE setup_core ${TONVARO_SETUP_LIBS})
    # So that Wine maps the payload instead of reading it whole at start.
    add_custom_command(TARGET ${name} POST_BUILD
        COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/align_resources.py $<TARGET_FILE:${name}>
        VERBATIM)
    if(TARGET payload)
        add_dependencies(${name} payload)
    endif()
endfunction()

# The payload: packed here from the product tree, or taken as given.
if(TONVARO_PAYLOAD)
    set(TONVARO_PAYLOAD_FILE ${TONVARO_PAYLOAD})
else()
    if(NOT TONVARO_PACK)
        message(FATAL_ERROR "TONVARO_PACK must name the host packer (build/host/tonvaro-pack)")
    endif()
    set(TONVARO_PAYLOAD_FILE ${CMAKE_CURRENT_BINARY_DIR}/payload.bin)
    include(cmake/product.cmake)
endif()

tonvaro_setup_executable(setup ${CMAKE_CURRENT_BINARY_DIR} ${TONVARO_PAYLOAD_FILE})

include(product/addons.cmake)

if(TONVARO_BUILD_TESTS)
    include(cmake/windows-tests.cmake)
    # The licence test compares the agreement in the resources with its source.
    if(TARGET win_tests)
        target_compile_definitions(win_tests PRIVATE
            TONVARO_LICENCE_SOURCE="${CMAKE_SOURCE_DIR}/setup/licence.txt")
    endif()
endif()
