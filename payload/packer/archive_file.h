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

// Writes all `count` bytes, however many calls it takes; answers 1, or 0
// with errno set.
int write_all(int fd, const unsigned char* bytes, size_t count);

// A file written under a temporary name beside `path` and renamed over it
// only when complete, so that a failure leaves either the old file or none,
// never half a new one. Until committed, the destructor removes it.
struct PendingFile {
    std::string path;
    std::string temporary;
    int fd = -1;
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();
};

// Each answers kExitSuccess or the exit code reported ("cannot write PATH").
int create_pending(const char* path, PendingFile* file, FILE* err);
int append_pending(PendingFile* file, const unsigned char* bytes, size_t count, FILE* err);
int overwrite_pending(PendingFile* file, size_t offset, const unsigned char* bytes, size_t count, FILE* err);
int commit_pending(PendingFile* file, FILE* err);

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
