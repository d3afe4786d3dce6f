#include "payload/packer/archive_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <thread>

#include "payload/format.h"
#include "payload/packer/packer.h"
#include "payload/packer/pe_resource.h"

int report(FILE* err, int code, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fputs("tonvaro-pack: ", err);
    vfprintf(err, format, arguments);
    fputc('\n', err);
    va_end(arguments);
    return code;
}

int read_whole_file(const char* path, std::vector<unsigned char>* bytes) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    // Read straight into the vector, sized from the file's length: no bounce
    // buffer, and no regrowth for payloads of hundreds of megabytes. The file
    // may still grow or shrink while it is read.
    struct stat status;
    const size_t room = fstat(fd, &status) == 0 && status.st_size > 0 ? static_cast<size_t>(status.st_size) + 1 : 65536;
    bytes->resize(room);
    size_t done = 0;
    int ok = 1;
    for (;;) {
        if (done == bytes->size()) bytes->resize(bytes->size() * 2);
        const ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = 0;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bytes->resize(done);
    const int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}

PendingFile::~PendingFile() {
    if (fd < 0) return;
    close(fd);
    unlink(temporary.c_str());
}

namespace {

int cannot_write(const PendingFile& file, FILE* err) {
    return report(err, kExitDamaged, "cannot write %s: %s", file.path.c_str(), strerror(errno));
}

}  // namespace

int create_pending(const char* path, PendingFile* file, FILE* err) {
    file->path = path;
    file->temporary = file->path + ".XXXXXX";
    file->fd = mkstemp(&file->temporary[0]);
    if (file->fd < 0 || fchmod(file->fd, 0644) != 0) return cannot_write(*file, err);
    return kExitSuccess;
}

int write_all(int fd, const unsigned char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return 0;
        // No progress and no error: a full disk that write() did not name.
        if (n == 0) {
            errno = ENOSPC;
            return 0;
        }
        bytes += n;
        count -= static_cast<size_t>(n);
    }
    return 1;
}

int append_pending(PendingFile* file, const unsigned char* bytes, size_t count, FILE* err) {
    return write_all(file->fd, bytes, count) ? kExitSuccess : cannot_write(*file, err);
}

int overwrite_pending(PendingFile* file, size_t offset, const unsigned char* bytes, size_t count, FILE* err) {
    while (count > 0) {
        const ssize_t n = pwrite(file->fd, bytes, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return cannot_write(*file, err);
        bytes += n;
        offset += static_cast<size_t>(n);
        count -= static_cast<size_t>(n);
    }
    return kExitSuccess;
}

int commit_pending(PendingFile* file, FILE* err) {
    int ok = fsync(file->fd) == 0;
    ok = close(file->fd) == 0 && ok;
    file->fd = -1;
    if (ok && rename(file->temporary.c_str(), file->path.c_str()) == 0) return kExitSuccess;
    const int code = cannot_write(*file, err);
    unlink(file->temporary.c_str());
    return code;
}

LoadedArchive::~LoadedArchive() {
    if (mapped) munmap(const_cast<unsigned char*>(file), size);
}

int map_or_read(const char* path, LoadedArchive* archive) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat status;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        void* view = mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (view != MAP_FAILED) {
            close(fd);
            archive->file = static_cast<const unsigned char*>(view);
            archive->size = static_cast<size_t>(status.st_size);
            archive->mapped = true;
            return 1;
        }
    }
    close(fd);
    if (!read_whole_file(path, &archive->copy)) return 0;
    archive->copy.push_back(0);  // a valid address even for an empty file
    archive->file = archive->copy.data();
    archive->size = archive->copy.size() - 1;
    return 1;
}

namespace {

// The archive CRC comes before anything is written, so nothing else can run
// beside it: its two halves are summed on two threads and combined, which
// takes a tenth of extract's time down to a twentieth on two cores.
int archive_crc_matches(const unsigned char* payload, size_t size) {
    constexpr size_t kSplitFrom = 8u << 20;
    if (size < kSplitFrom || std::thread::hardware_concurrency() < 2) return payload_crc_matches(payload, size);
    const unsigned char* body = payload + 4;
    const size_t first = (size - 4) / 2;
    const size_t second = size - 4 - first;
    uLong tail = 0;
    std::thread helper([&] { tail = crc32_z(0L, body + first, second); });
    const uLong head = crc32_z(0L, body, first);
    helper.join();
    const uLong whole = crc32_combine(head, tail, static_cast<z_off_t>(second));
    return static_cast<unsigned>(whole) == read_u32le(payload) ? 1 : 0;
}

}  // namespace

int load_archive(const char* path, LoadedArchive* archive, FILE* err) {
    if (!map_or_read(path, archive)) {
        return report(err, kExitDamaged, "cannot read %s: %s", path, strerror(errno));
    }
    const unsigned char* data = archive->file;
    const size_t size = archive->size;
    archive->begin = data;
    archive->end = data + size;
    // A payload whose CRC happens to begin with "MZ" is still a payload.
    const int whole_file_is_payload = archive_crc_matches(data, size);
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z' && !whole_file_is_payload) {
        size_t offset = 0, length = 0;
        if (!find_pe_resource(data, size, kPayloadResourceType, kPayloadResourceId, &offset, &length)) {
            return report(err, kExitDamaged, "%s: an executable without a readable %s/%u resource",
                          path, kPayloadResourceType, kPayloadResourceId);
        }
        archive->begin = data + offset;
        archive->end = data + offset + length;
        if (archive_crc_matches(archive->begin, length)) return kExitSuccess;
    } else if (whole_file_is_payload) {
        return kExitSuccess;
    }
    if (static_cast<size_t>(archive->end - archive->begin) < kPayloadMinimumSize) {
        return report(err, kExitDamaged, "%s: too short for an archive", path);
    }
    return report(err, kExitDamaged, "%s: the archive CRC does not match", path);
}

std::string printable_name(const char* name, unsigned length) {
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    return text;
}
