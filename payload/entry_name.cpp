#include "payload/entry_name.h"

#include "common/text.h"

namespace {

bool is_device_name(const char* component, unsigned length) {
    // The device is the part before the first dot, with trailing blanks
    // dropped: "nul.txt" and "NUL .x" open the device too.
    unsigned base = 0;
    while (base < length && component[base] != '.') ++base;
    while (base > 0 && component[base - 1] == ' ') --base;
    static constexpr char kThreeLetter[][4] = {"con", "prn", "aux", "nul"};
    if (base == 3) {
        for (const char* device : kThreeLetter) {
            if (equals_ignore_case_n(component, device, 3)) return true;
        }
        return false;
    }
    if (base == 4 && (equals_ignore_case_n(component, "com", 3) ||
                      equals_ignore_case_n(component, "lpt", 3))) {
        const unsigned char digit = static_cast<unsigned char>(component[3]);
        // Windows counts the superscript digits of code page 1252 as well.
        return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

EntryNameProblem check_component(const char* component, unsigned length, bool strict) {
    if (length == 0) return kNameBadComponent;
    if (length == 1 && component[0] == '.') return kNameBadComponent;
    if (length == 2 && component[0] == '.' && component[1] == '.') return kNameBadComponent;
    if (is_device_name(component, length)) return kNameDevice;
    if (strict && (component[length - 1] == '.' || component[length - 1] == ' ')) {
        return kNameTrailingDotOrBlank;
    }
    return kNameSafe;
}

}  // namespace

EntryNameProblem check_entry_name(const char* name, unsigned length, bool strict) {
    if (length == 0) return kNameEmpty;
    if (is_separator(name[0])) return kNameAbsolute;
    if (strict && length >= 260) return kNameTooLong;
    for (unsigned i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == ':') return kNameColon;
        if (c == 0) return kNameEmpty;
        if (!strict) continue;
        if (c >= 0x80) return kNameNotAscii;
        if (c < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
            return kNameForbiddenChar;
        }
    }
    // Components as Windows splits them: a second byte that looks like a
    // separator belongs to its character.
    unsigned start = 0;
    for (unsigned i = 0; i <= length;) {
        if (i == length || is_separator(name[i])) {
            const EntryNameProblem problem = check_component(name + start, i - start, strict);
            if (problem != kNameSafe) return problem;
            start = i + 1;
        }
        i += i + 1 < length && is_lead_byte(static_cast<unsigned char>(name[i])) ? 2 : 1;
    }
    return kNameSafe;
}

const char* describe_entry_name_problem(EntryNameProblem problem) {
    switch (problem) {
        case kNameSafe: return "safe";
        case kNameEmpty: return "the name is empty";
        case kNameAbsolute: return "the name is absolute (it begins with a separator)";
        case kNameColon: return "the name contains a colon (a drive letter or a stream name)";
        case kNameBadComponent: return "the name has an empty, \".\" or \"..\" component";
        case kNameDevice: return "a component is a Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
        case kNameForbiddenChar: return "the name contains a character Windows forbids in file names";
        case kNameNotAscii:
            return "the name has a byte of 0x80 or above: names are read on Linux but are "
                   "ANSI texts on Windows, so only ASCII names are packed";
        case kNameTooLong: return "the name is 260 bytes or longer";
        case kNameTrailingDotOrBlank:
            return "a component ends in a dot or a blank, which Windows drops";
    }
    return "unknown";
}
