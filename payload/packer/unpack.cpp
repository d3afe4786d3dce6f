#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/entry_name.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"
#include "payload/packer/archive_file.h"
#include "payload/packer/entry_writer.h"
#include "payload/packer/packer.h"

namespace {

// The setup program inflates 10000-byte pieces; on Linux larger ones cost
// fewer calls for the same bytes.
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

int report_outcome(const PayloadEntry& entry, InflateOutcome outcome, FILE* err) {
    switch (outcome) {
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

int inflate_to(const PayloadEntry& entry, InflateSink sink, void* context, FILE* err) {
    // Not a vector: clearing a quarter megabyte for every entry costs more
    // than inflating small ones.
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kInflatePiece]);
    const InflateJob job = {entry.data, entry.compressed_length, entry.content_crc, buffer.get(),
                            kInflatePiece, sink, context, nullptr, nullptr};
    return report_outcome(entry, inflate_entry(job), err);
}

// inflate_entry() judges damage the same way, but inflates into a buffer of
// its own and takes the CRC itself; here the stream goes straight into the
// writer's buffers and the writer's thread takes the CRC, so that this
// thread does nothing but inflate.
InflateOutcome inflate_to_writer(const PayloadEntry& entry, EntryWriter* writer) {
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    stream.next_in = const_cast<Bytef*>(entry.data);
    stream.avail_in = entry.compressed_length;
    if (inflateInit(&stream) != Z_OK) return kInflateInitFailed;
    InflateOutcome outcome = kInflateDone;
    for (;;) {
        size_t room = 0;
        unsigned char* buffer = entry_buffer(writer, &room);
        if (buffer == nullptr) {
            outcome = kInflateSinkFailed;
            break;
        }
        stream.next_out = buffer;
        stream.avail_out = static_cast<uInt>(room);
        const int r = inflate(&stream, Z_NO_FLUSH);
        // Z_BUF_ERROR included: a stream cut short makes no more progress.
        if (r != Z_OK && r != Z_STREAM_END) {
            outcome = kInflateDataDamaged;
            break;
        }
        entry_bytes_made(writer, room - stream.avail_out);
        if (r == Z_STREAM_END) break;
    }
    inflateEnd(&stream);
    return outcome;
}

int count_bytes(void* context, const unsigned char*, unsigned count) {
    *static_cast<unsigned long long*>(context) += count;
    return 1;
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
    // Entry after entry, each inflated here while the writer's thread writes
    // the pieces before it and checks their CRC.
    EntryWriter* writer = start_entry_writer(root, err);
    InflateOutcome outcome = kInflateDone;
    size_t i = 0;
    for (; i < entries.size() && begin_entry_file(writer, &entries[i]); ++i) {
        outcome = inflate_to_writer(entries[i], writer);
        end_entry_file(writer, outcome == kInflateDone);
        if (outcome != kInflateDone) break;
    }
    // A failure the writer met and reported lies at or before this entry.
    code = finish_entry_writer(writer);
    if (code == kExitSuccess && outcome != kInflateDone) code = report_outcome(entries[i], outcome, err);
    close(root);
    return code;
}
