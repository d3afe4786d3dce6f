#include "payload/packer/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

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
    bytes->clear();
    int ok = 1;
    unsigned char piece[65536];
    for (;;) {
        const ssize_t n = read(fd, piece, sizeof piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = 0;
        if (n <= 0) break;
        bytes->insert(bytes->end(), piece, piece + n);
    }
    const int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}

int write_file_atomically(const char* path, const std::vector<unsigned char>& bytes, FILE* err) {
    std::string temporary = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) return report(err, kExitDamaged, "cannot write %s: %s", path, strerror(errno));
    size_t done = 0;
    int ok = fchmod(fd, 0644) == 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = 0;
        else done += static_cast<size_t>(n);
    }
    if (ok) ok = fsync(fd) == 0;
    if (close(fd) != 0) ok = 0;
    if (ok && rename(temporary.c_str(), path) == 0) return kExitSuccess;
    const int code = report(err, kExitDamaged, "cannot write %s: %s", path, strerror(errno));
    unlink(temporary.c_str());
    return code;
}

int load_archive(const char* path, LoadedArchive* archive, FILE* err) {
    if (!read_whole_file(path, &archive->file)) {
        return report(err, kExitDamaged, "cannot read %s: %s", path, strerror(errno));
    }
    const unsigned char* data = archive->file.data();
    const size_t size = archive->file.size();
    archive->begin = data;
    archive->end = data + size;
    // A payload whose CRC happens to begin with "MZ" is still a payload.
    const int whole_file_is_payload = payload_crc_matches(data, size);
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z' && !whole_file_is_payload) {
        size_t offset = 0, length = 0;
        if (!find_pe_resource(data, size, kPayloadResourceType, kPayloadResourceId, &offset, &length)) {
            return report(err, kExitDamaged, "%s: an executable without a readable %s/%u resource",
                          path, kPayloadResourceType, kPayloadResourceId);
        }
        archive->begin = data + offset;
        archive->end = data + offset + length;
        if (payload_crc_matches(archive->begin, length)) return kExitSuccess;
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
