#include <dirent.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "payload/entry_name.h"
#include "payload/format.h"
#include "payload/packer/archive_file.h"
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

// One entry's stream as a worker made it; the writer appends the entries in
// archive order and reports the first failure in that order, so that the
// bytes and the messages do not depend on the number of threads.
struct PackedEntry {
    std::vector<unsigned char> stream;
    unsigned crc = 0;
    int code = kExitSuccess;
    std::string problem;
    bool ready = false;
};

std::string refusal(const std::string& relative, const char* reason) {
    return "refused " + printable_name(relative.data(), static_cast<unsigned>(relative.size())) + ": " + reason;
}

void compress_entry(const char* dir, const std::string& relative, PackedEntry* out) {
    std::vector<unsigned char> content;
    if (!read_whole_file((std::string(dir) + "/" + relative).c_str(), &content)) {
        out->code = kExitRefused;
        out->problem = refusal(relative, strerror(errno));
        return;
    }
    if (content.size() > 0xFFFFFFFFu) {
        out->code = kExitRefused;
        out->problem = refusal(relative, "grew past 4 GiB while being read");
        return;
    }
    uLongf length = compressBound(content.size());
    out->stream.resize(length);
    if (compress2(out->stream.data(), &length, content.data(), content.size(), Z_DEFAULT_COMPRESSION) != Z_OK) {
        out->code = kExitDamaged;
        out->problem = "cannot compress " + relative;
        return;
    }
    if (length > 0xFFFFFFFFu) {
        out->code = kExitRefused;
        out->problem = refusal(relative, "compresses to 4 GiB or more");
        return;
    }
    out->stream.resize(length);
    out->stream.shrink_to_fit();
    out->crc = static_cast<unsigned>(crc32(0L, content.data(), static_cast<uInt>(content.size())));
}

void append_entry(const std::string& relative, const PackedEntry& packed, std::vector<unsigned char>* archive) {
    const std::string name = entry_name(relative);
    unsigned char header[kEntryHeaderSize];
    header[0] = 0;
    write_u32le(header + 1, packed.crc);
    write_u32le(header + 5, static_cast<unsigned>(packed.stream.size()));
    archive->insert(archive->end(), name.begin(), name.end());
    archive->insert(archive->end(), header, header + kEntryHeaderSize);
    archive->insert(archive->end(), packed.stream.begin(), packed.stream.end());
}

// Workers compress whole files (one zlib stream each, so a large file is
// never split) while this thread appends them in order. The largest files
// are started first, so that one of them does not run alone at the end.
int compress_all(const char* dir, const FileList& files, const std::vector<unsigned long long>& sizes,
                 unsigned threads, std::vector<unsigned char>* archive, unsigned* archive_crc, FILE* err) {
    std::vector<size_t> schedule(files.size());
    for (size_t i = 0; i < schedule.size(); ++i) schedule[i] = i;
    std::stable_sort(schedule.begin(), schedule.end(), [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });

    std::vector<PackedEntry> packed(files.size());
    std::mutex lock;
    std::condition_variable finished;
    size_t next = 0;
    bool stop = false;
    auto work = [&]() {
        for (;;) {
            size_t index;
            {
                std::lock_guard<std::mutex> hold(lock);
                if (stop || next == schedule.size()) return;
                index = schedule[next++];
            }
            PackedEntry entry;
            compress_entry(dir, files[index], &entry);
            entry.ready = true;
            std::lock_guard<std::mutex> hold(lock);
            packed[index] = std::move(entry);
            finished.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads && t < files.size(); ++t) workers.emplace_back(work);

    // The archive CRC is taken piece by piece as the entries are appended,
    // while the workers are still busy, rather than in a pass at the end.
    unsigned long crc = crc32(0L, archive->data() + 4, kPayloadMinimumSize - 4);
    int code = kExitSuccess;
    for (size_t i = 0; i < files.size(); ++i) {
        PackedEntry entry;
        {
            std::unique_lock<std::mutex> hold(lock);
            finished.wait(hold, [&] { return packed[i].ready; });
            entry = std::move(packed[i]);
        }
        if (entry.code != kExitSuccess) {
            code = report(err, entry.code, "%s", entry.problem.c_str());
            break;
        }
        const size_t start = archive->size();
        append_entry(files[i], entry, archive);
        // The payload becomes a PE resource, whose size field is 32-bit.
        if (archive->size() > 0xFFFFFFFFu) {
            code = refuse(err, files[i], "the archive passes 4 GiB here");
            break;
        }
        crc = crc32(crc, archive->data() + start, static_cast<uInt>(archive->size() - start));
    }
    *archive_crc = static_cast<unsigned>(crc);
    {
        std::lock_guard<std::mutex> hold(lock);
        stop = true;
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

int pack_directory(const char* dir, const char* output, const char* list_file, unsigned threads, FILE* err) {
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

    std::vector<unsigned char> archive(kPayloadMinimumSize);
    write_u32le(&archive[4], static_cast<unsigned>(files.size()));
    // Room for the worst case up front: no copy of a growing archive.
    unsigned long long most = kPayloadMinimumSize;
    for (size_t i = 0; i < files.size(); ++i) most += files[i].size() + kEntryHeaderSize + compressBound(sizes[i]);
    archive.reserve(most < 0xFFFFFFFFull ? static_cast<size_t>(most) : 0xFFFFFFFFu);
    unsigned crc = 0;
    code = compress_all(dir, files, sizes, threads < 1 ? 1 : threads, &archive, &crc, err);
    if (code != kExitSuccess) return code;
    write_u32le(&archive[0], crc);
    return write_file_atomically(output, archive, err);
}
