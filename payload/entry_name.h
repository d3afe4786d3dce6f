#pragma once
// Which entry names may be written below a destination directory.
// Portable: no Win32 types.

enum EntryNameProblem {
    kNameSafe = 0,
    kNameEmpty,
    kNameAbsolute,         // leading separator, UNC or device prefix
    kNameColon,            // a drive letter or a stream name
    kNameBadComponent,     // empty, "." or ".." component
    kNameDevice,           // CON, PRN, AUX, NUL, COM1-9, LPT1-9, any extension
    // Refused by the packer only (strict): names it could not write faithfully.
    kNameForbiddenChar,    // < > " | ? * or a control character
    kNameNotAscii,         // a byte of 0x80 or above
    kNameTooLong,          // 260 bytes or more
    kNameTrailingDotOrBlank,  // Windows drops them, so two names could meet
};

// Checks `name` of `length` bytes. Both "\" and "/" count as separators.
EntryNameProblem check_entry_name(const char* name, unsigned length, bool strict);
const char* describe_entry_name_problem(EntryNameProblem problem);
