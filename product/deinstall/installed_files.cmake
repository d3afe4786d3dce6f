# Writes the product's file list, as the setup installs it, into a C++
# include for the uninstaller: one quoted Windows path per line. Run at build
# time with -DLIST=payload.list -DOUTPUT=file.
file(STRINGS ${LIST} lines)
set(text "// Made by installed_files.cmake from payload.list at build time.\n")
foreach(line ${lines})
    string(STRIP "${line}" line)
    if(NOT line OR line MATCHES "^#")
        continue()
    endif()
    if(line MATCHES "[\"\\\\]")
        message(FATAL_ERROR "${LIST}: ${line}: quotes and backslashes have no place in an entry")
    endif()
    string(REPLACE "/" "\\\\" line "${line}")
    string(APPEND text "\"${line}\",\n")
endforeach()
# Only a changed list touches the output, so that nothing is rebuilt for
# nothing.
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
