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
    const char* end = copy_text(block, directory);
    const bool drive_root = end - block == 3 && !is_lead_byte(static_cast<unsigned char>(block[0])) &&
                            block[1] == ':' && is_separator(block[2]);
    if (!drive_root) drop_trailing_separator(block);
}

const char* next_argument(const char* line, char* destination, const char* limit) {
    while (*line == ' ' || *line == '\t') ++line;
    if (*line == 0) return nullptr;
    int quoted = 0;
    while (*line != 0 && (quoted || (*line != ' ' && *line != '\t'))) {
        const char* next = next_character(line);
        if (*line == '"') {
            quoted = !quoted;
        } else {
            if (limit - destination <= next - line) return nullptr;
            while (line < next) *destination++ = *line++;
        }
        line = next;
    }
    if (destination >= limit) return nullptr;
    *destination = 0;
    return line;
}
