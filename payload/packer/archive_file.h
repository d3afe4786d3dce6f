#pragma once
// Whole files in and out of memory, and finding the archive inside one.

#include <cstdio>
#include <string>
#include <vector>

// Prints "tonvaro-pack: " and the formatted text as one line on err, and
// answers `code` so that callers can report and return at once.
int report(FILE* err, int code, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Answers 1 with the whole file in *bytes, or 0 with errno set.
int read_whole_file(const char* path, std::vector<unsigned char>* bytes);

// Writes a temporary file beside `path` and renames it over `path`, so that
// a failure leaves either the old file or none, never half a new one.
int write_file_atomically(const char* path, const std::vector<unsigned char>& bytes, FILE* err);

// A regular file is mapped read-only rather than read: a payload of hundreds
// of megabytes is then neither copied nor cleared before it is checked.
// Anything else (a pipe, a device) is read into `copy`.
struct LoadedArchive {
    const unsigned char* file = nullptr;
    size_t size = 0;
    bool mapped = false;
    std::vector<unsigned char> copy;
    const unsigned char* begin = nullptr;  // the archive CRC
    const unsigned char* end = nullptr;    // after the last byte
    LoadedArchive() = default;
    LoadedArchive(const LoadedArchive&) = delete;
    LoadedArchive& operator=(const LoadedArchive&) = delete;
    ~LoadedArchive();
};

// Reads a payload, or the RAWDATA/103 resource of a setup executable, and
// checks the archive CRC. Answers kExitSuccess or the exit code reported.
int load_archive(const char* path, LoadedArchive* archive, FILE* err);

// The name with anything but printable ASCII shown as \xNN, for messages.
std::string printable_name(const char* name, unsigned length);
