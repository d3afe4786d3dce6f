#include "payload/packer/pe_resource.h"

#include <cstdint>

namespace {

struct Bytes {
    const unsigned char* data;
    uint64_t size;
};

int read16(Bytes b, uint64_t at, uint32_t* value) {
    if (at > b.size || b.size - at < 2) return 0;
    *value = static_cast<uint32_t>(b.data[at]) | static_cast<uint32_t>(b.data[at + 1]) << 8;
    return 1;
}

int read32(Bytes b, uint64_t at, uint32_t* value) {
    uint32_t low = 0, high = 0;
    if (!read16(b, at, &low) || !read16(b, at + 2, &high)) return 0;
    *value = low | high << 16;
    return 1;
}

struct Image {
    Bytes file;
    uint64_t sections;  // file offset of the section table
    uint32_t section_count;
};

// Maps an RVA to a file offset when at least `length` bytes from there are
// backed by one section's raw data; *room is how many are.
int map_rva(const Image& image, uint32_t rva, uint32_t length, uint64_t* offset, uint64_t* room) {
    for (uint32_t i = 0; i < image.section_count; ++i) {
        const uint64_t header = image.sections + 40ull * i;
        uint32_t virtual_size = 0, address = 0, raw_size = 0, raw_pointer = 0;
        if (!read32(image.file, header + 8, &virtual_size) ||
            !read32(image.file, header + 12, &address) ||
            !read32(image.file, header + 16, &raw_size) ||
            !read32(image.file, header + 20, &raw_pointer)) {
            return 0;
        }
        // Raw data past the virtual size is never loaded, so it is not the resource's.
        const uint64_t extent = (virtual_size != 0 && virtual_size < raw_size) ? virtual_size : raw_size;
        if (rva < address || rva - address >= extent) continue;
        const uint64_t start = static_cast<uint64_t>(raw_pointer) + (rva - address);
        if (start > image.file.size) return 0;
        uint64_t available = extent - (rva - address);
        if (available > image.file.size - start) available = image.file.size - start;
        if (available < length) return 0;
        *offset = start;
        *room = available;
        return 1;
    }
    return 0;
}

int name_matches(Bytes tree, uint32_t at, const char* name) {
    uint32_t length = 0;
    if (!read16(tree, at, &length)) return 0;
    uint32_t i = 0;
    for (; i < length; ++i) {
        uint32_t c = 0;
        if (name[i] == 0 || !read16(tree, at + 2 + 2ull * i, &c)) return 0;
        if (c != static_cast<unsigned char>(name[i])) return 0;
    }
    return name[i] == 0;
}

// Finds in the directory at `at` the entry named `name`, or with integer id
// `id` when name is null, or with any id when `any_id`; answers its target
// field, whose top bit says whether it is another directory.
int find_in_directory(Bytes tree, uint32_t at, const char* name, uint32_t id, int any_id,
                      uint32_t* target) {
    uint32_t named = 0, ids = 0;
    if (!read16(tree, at + 12ull, &named) || !read16(tree, at + 14ull, &ids)) return 0;
    for (uint32_t i = 0; i < named + ids; ++i) {
        const uint64_t entry = at + 16ull + 8ull * i;
        uint32_t key = 0, value = 0;
        if (!read32(tree, entry, &key) || !read32(tree, entry + 4, &value)) return 0;
        const int is_named = (key & 0x80000000u) != 0;
        int match = 0;
        if (name != nullptr) {
            match = is_named && name_matches(tree, key & 0x7FFFFFFFu, name);
        } else {
            match = !is_named && (any_id || key == id);
        }
        if (match) {
            *target = value;
            return 1;
        }
    }
    return 0;
}

}  // namespace

int find_pe_resource(const unsigned char* data, size_t size, const char* type_name,
                     unsigned id, size_t* offset, size_t* length) {
    const Bytes file = {data, size};
    uint32_t magic = 0, header = 0, signature = 0;
    if (!read16(file, 0, &magic) || magic != 0x5A4D) return 0;  // "MZ"
    if (!read32(file, 0x3C, &header) || !read32(file, header, &signature)) return 0;
    if (signature != 0x00004550) return 0;  // "PE\0\0"
    const uint64_t coff = header + 4ull;
    const uint64_t optional = coff + 20;
    uint32_t section_count = 0, optional_size = 0, kind = 0;
    if (!read16(file, coff + 2, &section_count) || !read16(file, coff + 16, &optional_size) ||
        !read16(file, optional, &kind)) {
        return 0;
    }
    // The data directories start later in PE32+ for its 64-bit fields.
    uint32_t directories = 0;
    if (kind == 0x10B) {
        directories = 96;
    } else if (kind == 0x20B) {
        directories = 112;
    } else {
        return 0;
    }
    const uint32_t kResourceDirectory = 2;
    uint32_t directory_count = 0, tree_rva = 0;
    if (!read32(file, optional + directories - 4, &directory_count) ||
        directory_count <= kResourceDirectory ||
        directories + 8 * (kResourceDirectory + 1) > optional_size ||
        !read32(file, optional + directories + 8 * kResourceDirectory, &tree_rva) || tree_rva == 0) {
        return 0;
    }
    const Image image = {file, optional + optional_size, section_count};
    uint64_t tree_offset = 0, tree_room = 0;
    if (!map_rva(image, tree_rva, 16, &tree_offset, &tree_room)) return 0;
    // Directory offsets count from the tree's start and stay inside its section.
    const Bytes tree = {data + tree_offset, tree_room};

    uint32_t names = 0, languages = 0, entry = 0;
    if (!find_in_directory(tree, 0, type_name, 0, 0, &names) || !(names & 0x80000000u)) return 0;
    if (!find_in_directory(tree, names & 0x7FFFFFFFu, nullptr, id, 0, &languages) ||
        !(languages & 0x80000000u)) {
        return 0;
    }
    if (!find_in_directory(tree, languages & 0x7FFFFFFFu, nullptr, 0, 1, &entry) ||
        (entry & 0x80000000u)) {
        return 0;
    }
    uint32_t data_rva = 0, data_size = 0;
    if (!read32(tree, entry, &data_rva) || !read32(tree, entry + 4ull, &data_size)) return 0;
    uint64_t data_offset = 0, data_room = 0;
    if (!map_rva(image, data_rva, data_size, &data_offset, &data_room)) return 0;
    *offset = static_cast<size_t>(data_offset);
    *length = data_size;
    return 1;
}
