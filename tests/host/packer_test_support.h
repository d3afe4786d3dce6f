#pragma once
// Helpers shared by the packer's tests: scratch directories, whole files, an
// in-process run of the command line, and archives built by hand.

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "payload/format.h"
#include "payload/packer/packer.h"

namespace packer_test {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using Tree = std::vector<std::pair<std::string, std::string>>;

// A fresh directory, removed with everything in it when the test ends.
struct ScratchDir {
    std::string path = (fs::temp_directory_path() / "tonvaro-pack-test-XXXXXX").string();
    ScratchDir() { mkdtemp(&path[0]); }
    ~ScratchDir() { std::error_code ignored; fs::remove_all(path, ignored); }
    std::string operator/(const std::string& relative) const { return path + "/" + relative; }
};

inline void write_file(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline void write_bytes(const std::string& path, const Bytes& content) {
    write_file(path, std::string(content.begin(), content.end()));
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes read_bytes(const std::string& path) {
    const std::string text = read_file(path);
    return Bytes(text.begin(), text.end());
}

// Every path below root (directories end in "/") with the files' contents;
// nothing when root does not exist.
inline Tree snapshot(const std::string& root) {
    Tree tree;
    if (!fs::exists(root)) return tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(item.path(), root).string();
        tree.emplace_back(item.is_directory() ? relative + "/" : relative,
                          item.is_directory() ? "" : read_file(item.path().string()));
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

struct ToolRun {
    int code;
    std::string out;
    std::string err;
};

// The command line in this process, so that the sanitizers watch it.
inline ToolRun run(const std::vector<std::string>& arguments) {
    char* text[2] = {nullptr, nullptr};
    size_t size[2] = {0, 0};
    FILE* out = open_memstream(&text[0], &size[0]);
    FILE* err = open_memstream(&text[1], &size[1]);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    const int code = run_packer(static_cast<int>(argv.size()), argv.data(), out, err);
    fclose(out);
    fclose(err);
    ToolRun result = {code, std::string(text[0], size[0]), std::string(text[1], size[1])};
    free(text[0]);
    free(text[1]);
    return result;
}

struct HandEntry {
    std::string name;
    unsigned crc;
    unsigned length;  // the compressed length field, which may lie
    Bytes stream;
};

inline HandEntry hand_entry(const std::string& name, const std::string& content) {
    uLongf size = compressBound(content.size());
    Bytes stream(size);
    compress2(stream.data(), &size, reinterpret_cast<const Bytef*>(content.data()), content.size(),
              Z_DEFAULT_COMPRESSION);
    stream.resize(size);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size()));
    return HandEntry{name, static_cast<unsigned>(crc), static_cast<unsigned>(size), stream};
}

// An archive with a correct archive CRC around whatever the entries say.
inline Bytes hand_archive(unsigned count, const std::vector<HandEntry>& entries) {
    Bytes out(8);
    write_u32le(&out[4], count);
    for (const HandEntry& entry : entries) {
        unsigned char header[9] = {0};
        write_u32le(header + 1, entry.crc);
        write_u32le(header + 5, entry.length);
        out.insert(out.end(), entry.name.begin(), entry.name.end());
        out.insert(out.end(), header, header + 9);
        out.insert(out.end(), entry.stream.begin(), entry.stream.end());
    }
    write_u32le(&out[0], payload_crc(out.data(), out.size()));
    return out;
}

}  // namespace packer_test
