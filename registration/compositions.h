#pragma once
// The texts that registration and the destination default compose into
// PathBuffers. Portable: no Win32 types.
//
// Each writes at `buffer`, never at or beyond `limit` (one past the last
// byte it may use), and answers the position of the terminator it wrote,
// or null when the text would not fit: the step that wanted it then fails.

// A double quote, the directory with a separator, "Zaphio.exe", a double
// quote and a blank: the verbs' arguments go at the answered position.
char* compose_player_command_start(char* buffer, const char* limit, const char* directory);
// The directory with a separator, "Zaphio.exe," and the index in decimal.
char* compose_icon_location(char* buffer, const char* limit, const char* directory,
                            unsigned icon_index);
// folder, a separator unless it ends with one, name, then extension (may be
// empty).
char* compose_in_folder(char* buffer, const char* limit, const char* folder, const char* name,
                        const char* extension);
// The directory with its trailing separator dropped: "D:\" becomes "D:".
char* compose_without_trailing_separator(char* buffer, const char* limit, const char* directory);
// Appends a separator if needed and "Quenvale\Quenvale Tonvaro" to `text`.
char* append_product_folder(char* text, const char* limit);
// directory, a separator and "ZPH0000". Answers the position of the four
// digits, for the caller to count through, or null.
char* compose_probe_name(char* buffer, const char* limit, const char* directory);

// `block` holds what a registry read returned: `returned_length` bytes, in a
// block of at least returned_length + 1 bytes. Terminates the text right
// after them (a value stored without a terminator, or with length 0, ends
// exactly there) and answers 1 when it is another maker's association that
// must be kept.
int is_foreign_association(char* block, unsigned returned_length);
