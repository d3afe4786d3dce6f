#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "payload/entry_name.h"
#include "payload/format.h"
#include "payload/packer/archive_file.h"
#include "payload/packer/compress_entry.h"
#include "payload/packer/packer.h"

namespace {

// Paths relative to DIR with "/" as the separator, in packing order.
typedef std::vector<std::string> FileList;

int refuse(FILE* err, const std::string& relative, const char* reason) {
    const std::string shown = printable_name(relative.data(), static_cast<unsigned>(relative.size()));
    return report(err, kExitRefused, "refused %s: %s", shown.c_str(), reason);
}

// With a trailing "/", so that "/a/bc" does not count as lying under "/a/b".
std::string real_directory(const char* path) {
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) return std::string();
    std::string text(resolved);
    free(resolved);
    if (text.back() != '/') text += '/';
    return text;
}

int walk(const std::string& path, const std::string& relative, FileList* files, FILE* err) {
    DIR* handle = opendir(path.c_str());
    if (handle == nullptr) return refuse(err, relative.empty() ? path : relative, strerror(errno));
    std::vector<std::string> names;
    while (const dirent* entry = readdir(handle)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    closedir(handle);
    for (const std::string& name : names) {
        const std::string inner = relative.empty() ? name : relative + "/" + name;
        const std::string full = path + "/" + name;
        // The name would silently become a directory and a file on Windows.
        if (name.find('\\') != std::string::npos) {
            return refuse(err, inner, "the name contains a backslash, which Windows reads as a separator");
        }
        struct stat status;
        if (lstat(full.c_str(), &status) != 0) return refuse(err, inner, strerror(errno));
        const bool link = S_ISLNK(status.st_mode);
        // A dangling link stays in the list, to be refused as unreadable with the others.
        if (link && stat(full.c_str(), &status) != 0) status.st_mode = S_IFREG;
        if (S_ISDIR(status.st_mode)) {
            if (link) return refuse(err, inner, "a symbolic link to a directory, which pack does not follow");
            const int code = walk(full, inner, files, err);
            if (code != kExitSuccess) return code;
        } else if (S_ISREG(status.st_mode)) {
            files->push_back(inner);
        } else {
            return refuse(err, inner, "neither a regular file nor a directory");
        }
    }
    return kExitSuccess;
}

int read_list(const char* list_file, FileList* files, FILE* err) {
    std::vector<unsigned char> bytes;
    if (!read_whole_file(list_file, &bytes)) {
        return report(err, kExitRefused, "cannot read the list %s: %s", list_file, strerror(errno));
    }
    std::string line;
    bytes.push_back('\n');
    for (unsigned char c : bytes) {
        if (c != '\n') {
            line += c == '\\' ? '/' : static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') files->push_back(line);
        line.clear();
    }
    return kExitSuccess;
}

std::string entry_name(const std::string& relative) {
    std::string name = relative;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::string fold_case(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return name;
}

// Windows file systems ignore case: two names that differ only in case, or a
// file whose name is another entry's directory, cannot both be written.
int check_collisions(const FileList& files, FILE* err) {
    std::map<std::string, std::string> by_folded;
    for (const std::string& relative : files) {
        const auto inserted = by_folded.insert(std::make_pair(fold_case(relative), relative));
        if (!inserted.second) {
            const std::string reason = relative == inserted.first->second
                ? std::string("named twice")
                : "differs only in case from " + inserted.first->second +
                      ", and Windows file systems are case-insensitive";
            return refuse(err, relative, reason.c_str());
        }
    }
    for (const std::string& relative : files) {
        const std::string folded = fold_case(relative);
        for (size_t slash = folded.find('/'); slash != std::string::npos; slash = folded.find('/', slash + 1)) {
            const auto file = by_folded.find(folded.substr(0, slash));
            if (file != by_folded.end()) {
                const std::string reason = "its directory is the file " + file->second +
                                           " when case is ignored, as on Windows";
                return refuse(err, relative, reason.c_str());
            }
        }
    }
    return kExitSuccess;
}

// Names, containment, type and size of every file, before any is read.
int check_files(const char* dir, const std::string& root, const FileList& files,
                std::vector<unsigned long long>* sizes, FILE* err) {
    if (files.size() > 0xFFFFFFFFu) return report(err, kExitRefused, "more files than a 32-bit count holds");
    for (const std::string& relative : files) {
        const std::string name = entry_name(relative);
        const EntryNameProblem problem = check_entry_name(name.data(), static_cast<unsigned>(name.size()), true);
        if (problem != kNameSafe) return refuse(err, relative, describe_entry_name_problem(problem));
        const std::string path = std::string(dir) + "/" + relative;
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr) return refuse(err, relative, strerror(errno));
        const bool inside = strncmp(resolved, root.c_str(), root.size()) == 0;
        free(resolved);
        if (!inside) return refuse(err, relative, "a symbolic link leads out of the directory");
        struct stat status;
        if (stat(path.c_str(), &status) != 0) return refuse(err, relative, strerror(errno));
        if (!S_ISREG(status.st_mode)) return refuse(err, relative, "not a regular file");
        if (static_cast<unsigned long long>(status.st_size) > 0xFFFFFFFFull) {
            return refuse(err, relative, "4 GiB or larger, and sizes are 32-bit");
        }
        sizes->push_back(static_cast<unsigned long long>(status.st_size));
    }
    return check_collisions(files, err);
}

// The archive as it goes to the output: its size so far, and the CRC of
// everything after the CRC field, which is written back at the end.
struct ArchiveOutput {
    PendingFile file;
    unsigned long long size = 0;
    unsigned long crc = 0;
};

int append_bytes(ArchiveOutput* out, const unsigned char* bytes, size_t count, FILE* err) {
    const size_t skip = out->size < 4 ? std::min<size_t>(count, 4 - out->size) : 0;
    out->crc = crc32(out->crc, bytes + skip, static_cast<uInt>(count - skip));
    out->size += count;
    return append_pending(&out->file, bytes, count, err);
}

int append_entry(const std::string& relative, PackedEntry* packed, ArchiveOutput* out, FILE* err) {
    const std::string name = entry_name(relative);
    // The payload becomes a PE resource, whose size field is 32-bit.
    if (out->size + name.size() + kEntryHeaderSize + packed->length > 0xFFFFFFFFull) {
        return refuse(err, relative, "the archive passes 4 GiB here");
    }
    std::vector<unsigned char> head(name.begin(), name.end());
    head.resize(name.size() + kEntryHeaderSize);
    unsigned char* header = head.data() + name.size();
    header[0] = 0;
    write_u32le(header + 1, packed->crc);
    write_u32le(header + 5, static_cast<unsigned>(packed->length));
    int code = append_bytes(out, head.data(), head.size(), err);
    for (size_t i = 0, left = packed->length; code == kExitSuccess && left > 0; ++i) {
        const size_t count = std::min(left, kPiece);
        code = append_bytes(out, packed->pieces[i].get(), count, err);
        packed->pieces[i].reset();
        left -= count;
    }
    return code;
}

// Workers compress whole files (one zlib stream each, so a large file is
// never split) while this thread appends them in order. The largest files
// are started first, so that one of them does not run alone at the end; but
// once `budget` bytes of finished streams wait for their turn, a worker only
// starts the entry the writer needs next, which is always allowed so that
// the writer cannot wait for an entry that nobody will make.
int compress_all(const char* dir, const FileList& files, const std::vector<unsigned long long>& sizes,
                 unsigned threads, unsigned long long budget, int level, ArchiveOutput* out, FILE* err) {
    std::vector<size_t> schedule(files.size());
    for (size_t i = 0; i < schedule.size(); ++i) schedule[i] = i;
    std::stable_sort(schedule.begin(), schedule.end(), [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });

    std::vector<PackedEntry> packed(files.size());
    std::vector<char> started(files.size(), 0);
    std::mutex lock;
    std::condition_variable finished, room;
    size_t next = 0;     // in `schedule`: every entry before it has started
    size_t wanted = 0;   // the entry the writer takes next
    unsigned long long waiting = 0;
    bool stop = false;
    auto work = [&]() {
        Compressor* compressor = start_compressor(level);
        for (;;) {
            size_t index;
            {
                std::unique_lock<std::mutex> hold(lock);
                for (;;) {
                    while (next < schedule.size() && started[schedule[next]]) ++next;
                    if (stop || next == schedule.size()) {
                        free_compressor(compressor);
                        return;
                    }
                    if (waiting < budget) {
                        index = schedule[next];
                        break;
                    }
                    if (!started[wanted]) {
                        index = wanted;
                        break;
                    }
                    room.wait(hold);
                }
                started[index] = 1;
            }
            PackedEntry entry;
            compress_entry(compressor, dir, files[index], &entry);
            entry.ready = true;
            std::lock_guard<std::mutex> hold(lock);
            waiting += entry.length;
            packed[index] = std::move(entry);
            finished.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads && t < files.size(); ++t) workers.emplace_back(work);

    int code = kExitSuccess;
    for (size_t i = 0; i < files.size(); ++i) {
        PackedEntry entry;
        {
            std::unique_lock<std::mutex> hold(lock);
            finished.wait(hold, [&] { return packed[i].ready; });
            entry = std::move(packed[i]);
            wanted = i + 1 < files.size() ? i + 1 : i;
        }
        room.notify_all();
        code = entry.code != kExitSuccess ? report(err, entry.code, "%s", entry.problem.c_str())
                                          : append_entry(files[i], &entry, out, err);
        {
            std::lock_guard<std::mutex> hold(lock);
            waiting -= entry.length;
            if (code != kExitSuccess) stop = true;
        }
        room.notify_all();
        if (code != kExitSuccess) break;
    }
    for (std::thread& worker : workers) worker.join();
    return code;
}

std::string parent_directory(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) return ".";
    if (slash == path) return "/";
    return std::string(path, slash - path);
}

}  // namespace

int pack_directory(const char* dir, const char* output, const char* list_file, unsigned threads,
                   unsigned long long budget, int level, FILE* err) {
    const std::string root = real_directory(dir);
    struct stat status;
    if (root.empty() || stat(dir, &status) != 0 || !S_ISDIR(status.st_mode)) {
        return report(err, kExitRefused, "%s is not a directory", dir);
    }
    // An output inside the tree would be packed into the next archive.
    const std::string output_dir = real_directory(parent_directory(output).c_str());
    if (!output_dir.empty() && (output_dir == root || output_dir.compare(0, root.size() + 1, root + "/") == 0)) {
        return report(err, kExitRefused, "the output %s lies inside %s", output, dir);
    }
    FileList files;
    int code = list_file != nullptr ? read_list(list_file, &files, err) : walk(dir, "", &files, err);
    if (code != kExitSuccess) return code;
    // Byte-wise order of the "/" form: the same tree packs to the same bytes
    // whatever order the file system lists it in.
    if (list_file == nullptr) std::sort(files.begin(), files.end());
    std::vector<unsigned long long> sizes;
    code = check_files(dir, root, files, &sizes, err);
    if (code != kExitSuccess) return code;

    ArchiveOutput out;
    code = create_pending(output, &out.file, err);
    if (code != kExitSuccess) return code;
    unsigned char head[kPayloadMinimumSize] = {0};
    write_u32le(head + 4, static_cast<unsigned>(files.size()));
    code = append_bytes(&out, head, sizeof head, err);
    if (code == kExitSuccess) code = compress_all(dir, files, sizes, threads < 1 ? 1 : threads, budget, level, &out, err);
    if (code != kExitSuccess) return code;
    write_u32le(head, static_cast<unsigned>(out.crc));
    code = overwrite_pending(&out.file, 0, head, 4, err);
    return code != kExitSuccess ? code : commit_pending(&out.file, err);
}
