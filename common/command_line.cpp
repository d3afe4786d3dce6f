#include "common/command_line.h"

#include "common/text.h"

namespace {
const char* or_empty(const char* text) { return text != nullptr ? text : ""; }
}

unsigned command_line_size(const char* directory, const char* file, const char* arguments) {
    return text_length(or_empty(directory)) + text_length(or_empty(file)) +
           text_length(or_empty(arguments)) + 5;
}

void compose_command_line(char* block, const char* directory, const char* file,
                          const char* arguments) {
    directory = or_empty(directory);
    file = or_empty(file);
    arguments = or_empty(arguments);
    if (*directory == 0 && *file == 0) {
        copy_text(block, arguments);
        return;
    }
    block[0] = '"';
    copy_text(block + 1, directory);
    char* end = copy_text(ensure_trailing_separator(block + 1), file);
    *end++ = '"';
    *end = 0;
    if (*arguments != 0) {
        *end++ = ' ';
        copy_text(end, arguments);
    }
}

void compose_working_directory(char* block, const char* directory) {
    char* end = copy_text(block, directory);
    const bool drive_root = end - block == 3 && block[1] == ':' && is_separator(block[2]);
    if (end > block && is_separator(end[-1]) && !drive_root) end[-1] = 0;
}

const char* next_argument(const char* line, char* destination, const char* limit) {
    while (*line == ' ' || *line == '\t') ++line;
    if (*line == 0) return nullptr;
    int quoted = 0;
    for (; *line != 0 && (quoted || (*line != ' ' && *line != '\t')); ++line) {
        if (*line == '"') {
            quoted = !quoted;
            continue;
        }
        if (limit - destination < 2) return nullptr;
        *destination++ = *line;
    }
    if (destination >= limit) return nullptr;
    *destination = 0;
    return line;
}
