#pragma once
// Decisions about add-on installers that need no platform: which of two
// files with the same title stays listed, and what an exit code asks for.
// Portable: no Win32 types.

// The PrivateBuild prefix that marks an add-on installer.
constexpr const char* kExtensionMarker = "Quenvale Tonvaro Extension";

// 1 when private_build begins with the marker, ASCII letter case ignored.
int carries_extension_marker(const char* private_build);

enum DuplicateOutcome {
    kKeepListed = 0,
    kReplaceListed = 1,
    kCompareCreationTimes = 2,
};

// One answer of read_file_version: found is 1 only when a fixed version
// record was read (0 and -1 both count as none).
struct FileVersionAnswer {
    int found;
    unsigned most_significant;
    unsigned least_significant;
};

// The file being added against the listed one with the same title.
DuplicateOutcome decide_by_version(const FileVersionAnswer& added, const FileVersionAnswer& listed);
// Both creation times must have been read; `comparison` is the sign of
// CompareFileTime(added, listed). Equal times keep the listed file.
DuplicateOutcome decide_by_creation_time(int added_read, int listed_read, long comparison);

// An exit code whose high byte is 0x42 and whose bit 16 is set asks the
// setup for a reboot; nothing else in it means anything to the setup.
int is_reboot_request(unsigned exit_code);
