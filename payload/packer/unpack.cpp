#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/entry_name.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "payload/packer/archive_file.h"
#include "payload/packer/packer.h"

namespace {

// The setup program writes 10000-byte pieces; on Linux larger ones cost
// fewer write calls and CRC calls for the same bytes.
constexpr unsigned kInflatePiece = 1u << 18;

std::string shown(const PayloadEntry& entry) { return printable_name(entry.name, entry.name_length); }

// Reads every counted entry, each wholly inside the archive with a name that
// passes the packer's own check, and nothing after the last; an unsafe name
// is answered with `unsafe_code`.
int read_entries(const LoadedArchive& archive, int unsafe_code, std::vector<PayloadEntry>* entries,
                 FILE* err) {
    const unsigned count = read_u32le(archive.begin + 4);
    const unsigned char* at = archive.begin + kPayloadMinimumSize;
    for (unsigned i = 0; i < count; ++i) {
        PayloadEntry entry;
        if (!read_entry(at, archive.end, &entry)) {
            return report(err, kExitDamaged, "entry %u of %u runs past the end of the archive", i + 1, count);
        }
        const EntryNameProblem problem = check_entry_name(entry.name, entry.name_length, true);
        if (problem != kNameSafe) {
            return report(err, unsafe_code, "entry %s: %s", shown(entry).c_str(),
                          describe_entry_name_problem(problem));
        }
        entries->push_back(entry);
        at = entry.next;
    }
    if (at != archive.end) {
        return report(err, kExitDamaged, "%ld bytes follow the last entry", static_cast<long>(archive.end - at));
    }
    return kExitSuccess;
}

int load_entries(const char* path, int unsafe_code, LoadedArchive* archive,
                 std::vector<PayloadEntry>* entries, FILE* err) {
    const int code = load_archive(path, archive, err);
    return code != kExitSuccess ? code : read_entries(*archive, unsafe_code, entries, err);
}

int inflate_to(const PayloadEntry& entry, InflateSink sink, void* context, FILE* err) {
    // Not a vector: clearing a quarter megabyte for every entry costs more
    // than writing small ones.
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kInflatePiece]);
    const InflateJob job = {entry.data, entry.compressed_length, entry.content_crc, buffer.get(),
                            kInflatePiece, sink, context, nullptr, nullptr};
    switch (inflate_entry(job)) {
        case kInflateDone: return kExitSuccess;
        case kInflateInitFailed: return report(err, kExitDamaged, "cannot start zlib");
        case kInflateDataDamaged:
            return report(err, kExitDamaged, "entry %s: the compressed data is damaged or cut short",
                          shown(entry).c_str());
        case kInflateSinkFailed:
            return report(err, kExitDamaged, "entry %s: cannot write: %s", shown(entry).c_str(), strerror(errno));
        case kInflateCrcMismatch:
            return report(err, kExitDamaged, "entry %s: the content CRC does not match", shown(entry).c_str());
    }
    return kExitDamaged;
}

int count_bytes(void* context, const unsigned char*, unsigned count) {
    *static_cast<unsigned long long*>(context) += count;
    return 1;
}

int write_bytes(void* context, const unsigned char* bytes, unsigned count) {
    const int fd = *static_cast<int*>(context);
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        bytes += n;
        count -= static_cast<unsigned>(n);
    }
    return 1;
}

// Opens the entry's file below `root`, one component at a time, refusing to
// pass through or open a symbolic link, so that links already in the
// destination cannot lead the write elsewhere. Answers the descriptor of the
// file and of the directory holding it (to remove a damaged file), or -1.
int create_below(int root, const PayloadEntry& entry, int* parent, std::string* leaf, FILE* err) {
    int directory = dup(root);
    std::string component;
    for (unsigned i = 0; directory >= 0 && i < entry.name_length; ++i) {
        if (entry.name[i] != '\\' && entry.name[i] != '/') {
            component += entry.name[i];
            continue;
        }
        int next = -1;
        if (mkdirat(directory, component.c_str(), 0755) == 0 || errno == EEXIST) {
            next = openat(directory, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next < 0) report(err, kExitDamaged, "entry %s: cannot make the directory %s: %s",
                             shown(entry).c_str(), component.c_str(), strerror(errno));
        close(directory);
        directory = next;
        component.clear();
    }
    if (directory < 0) return -1;
    // A new file, never one already there: a hard link in DIR to a file
    // outside it must not be written through.
    if (unlinkat(directory, component.c_str(), 0) != 0 && errno != ENOENT) {
        report(err, kExitDamaged, "entry %s: cannot replace: %s", shown(entry).c_str(), strerror(errno));
        close(directory);
        return -1;
    }
    const int fd = openat(directory, component.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        report(err, kExitDamaged, "entry %s: cannot create: %s", shown(entry).c_str(), strerror(errno));
        close(directory);
        return -1;
    }
    *parent = directory;
    *leaf = component;
    return fd;
}

int extract_entry(int root, const PayloadEntry& entry, FILE* err) {
    int parent = -1;
    std::string leaf;
    int fd = create_below(root, entry, &parent, &leaf, err);
    if (fd < 0) return kExitDamaged;
    int code = inflate_to(entry, write_bytes, &fd, err);
    if (close(fd) != 0 && code == kExitSuccess) {
        code = report(err, kExitDamaged, "entry %s: cannot write: %s", shown(entry).c_str(), strerror(errno));
    }
    // A damaged file must not pass for a complete one.
    if (code != kExitSuccess) unlinkat(parent, leaf.c_str(), 0);
    close(parent);
    return code;
}

}  // namespace

int list_archive(const char* path, FILE* out, FILE* err) {
    LoadedArchive archive;
    std::vector<PayloadEntry> entries;
    int code = load_entries(path, kExitDamaged, &archive, &entries, err);
    unsigned long long compressed = 0, total = 0;
    for (size_t i = 0; code == kExitSuccess && i < entries.size(); ++i) {
        unsigned long long size = 0;
        code = inflate_to(entries[i], count_bytes, &size, err);
        if (code != kExitSuccess) break;
        fprintf(out, "%10u %10llu %08x %s\n", entries[i].compressed_length, size, entries[i].content_crc,
                entries[i].name);
        compressed += entries[i].compressed_length;
        total += size;
    }
    if (code == kExitSuccess) {
        fprintf(out, "%zu entries, %llu bytes compressed, %llu bytes\n", entries.size(), compressed, total);
    }
    return code;
}

int verify_archive(const char* path, FILE* out, FILE* err) {
    LoadedArchive archive;
    std::vector<PayloadEntry> entries;
    int code = load_entries(path, kExitDamaged, &archive, &entries, err);
    unsigned long long total = 0;
    for (size_t i = 0; code == kExitSuccess && i < entries.size(); ++i) {
        code = inflate_to(entries[i], count_bytes, &total, err);
    }
    if (code == kExitSuccess) fprintf(out, "ok: %zu entries, %llu bytes\n", entries.size(), total);
    return code;
}

int extract_archive(const char* path, const char* dir, FILE* err) {
    LoadedArchive archive;
    std::vector<PayloadEntry> entries;
    // Every name is checked before the first file is written.
    int code = load_entries(path, kExitRefused, &archive, &entries, err);
    if (code != kExitSuccess) return code;
    if (mkdir(dir, 0755) != 0 && errno != EEXIST) {
        return report(err, kExitDamaged, "cannot make %s: %s", dir, strerror(errno));
    }
    const int root = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return report(err, kExitDamaged, "cannot open %s: %s", dir, strerror(errno));
    for (size_t i = 0; code == kExitSuccess && i < entries.size(); ++i) {
        code = extract_entry(root, entries[i], err);
    }
    close(root);
    return code;
}
