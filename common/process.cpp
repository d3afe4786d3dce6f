#include "common/process.h"

#include "common/command_line.h"
#include "common/memory.h"
#include "common/text.h"

namespace {
constexpr DWORD kDetachedNormalPriority = DETACHED_PROCESS | NORMAL_PRIORITY_CLASS;
}

HANDLE launch_process(const char* directory, const char* file, const char* arguments) {
    char* command_line = static_cast<char*>(alloc_or_report(command_line_size(directory, file, arguments)));
    if (command_line == nullptr) return nullptr;
    compose_command_line(command_line, directory, file, arguments);

    char* working_directory = nullptr;
    if (directory != nullptr && *directory != 0) {
        working_directory = static_cast<char*>(alloc_or_report(text_length(directory) + 2));
        if (working_directory == nullptr) {
            release_block(command_line);
            return nullptr;
        }
        compose_working_directory(working_directory, directory);
    }

    STARTUPINFOA startup;
    char* bytes = reinterpret_cast<char*>(&startup);
    for (unsigned i = 0; i < sizeof startup; ++i) bytes[i] = 0;
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    HANDLE result = nullptr;
    if (CreateProcessA(nullptr, command_line, nullptr, nullptr, FALSE, kDetachedNormalPriority,
                       nullptr, working_directory, &startup, &process)) {
        CloseHandle(process.hThread);
        result = process.hProcess;
    }
    release_block(command_line);
    if (working_directory != nullptr) release_block(working_directory);
    return result;
}
