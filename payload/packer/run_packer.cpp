#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "payload/packer/archive_file.h"
#include "payload/packer/packer.h"

namespace {

constexpr unsigned kMostThreads = 64;

constexpr const char* kHelp =
    "usage: tonvaro-pack pack DIR -o FILE [--list LISTFILE] [-j THREADS] [--level LEVEL]\n"
    "       tonvaro-pack list FILE\n"
    "       tonvaro-pack verify FILE\n"
    "       tonvaro-pack extract FILE -d DIR\n"
    "\n"
    "pack     writes the payload archive of every regular file under DIR, in\n"
    "         byte-wise order of their relative paths written with \"/\", or\n"
    "         of the files LISTFILE names (one path relative to DIR a line;\n"
    "         blank lines and lines starting with # are skipped), in its order.\n"
    "         Names must suit Windows: ASCII only, since names read on Linux\n"
    "         become ANSI texts there; no device names, no characters Windows\n"
    "         forbids, shorter than 260 bytes, unique when case is ignored.\n"
    "         Files are compressed on THREADS threads (default: one a core);\n"
    "         the archive is the same for any number. LEVEL is zlib's 0 (stored)\n"
    "         to 9, default 6, or \"smallest\": libdeflate's best compression,\n"
    "         a few percent smaller than 9 and many times slower. Every level\n"
    "         makes zlib streams that any setup program inflates.\n"
    "list     shows each entry's compressed size, size, CRC and name.\n"
    "verify   checks the archive CRC and every entry's bounds, name and content,\n"
    "         and tells how many bytes the entries hold.\n"
    "extract  writes the entries below DIR.\n"
    "FILE may be a payload archive or a setup executable carrying it as its\n"
    "RAWDATA/103 resource.\n"
    "Exit status: 0 success, 1 damaged archive or I/O failure, 2 refused input.\n";

// Takes one operand and the values of the given options, in any order.
int parse(int argc, const char* const* argv, const char* operand_name, const char** operand,
          const char* option, const char** value, const char* other_option, const char** other_value,
          FILE* err) {
    for (int i = 1; i < argc; ++i) {
        const char** target = nullptr;
        if (option != nullptr && strcmp(argv[i], option) == 0) target = value;
        if (other_option != nullptr && strcmp(argv[i], other_option) == 0) target = other_value;
        if (target != nullptr) {
            if (i + 1 == argc) return report(err, kExitRefused, "%s needs a value", argv[i]);
            *target = argv[++i];
        } else if (argv[i][0] == '-' || *operand != nullptr) {
            return report(err, kExitRefused, "unexpected argument %s (see --help)", argv[i]);
        } else {
            *operand = argv[i];
        }
    }
    if (*operand == nullptr) return report(err, kExitRefused, "%s needs %s", argv[0], operand_name);
    if (option != nullptr && *value == nullptr) return report(err, kExitRefused, "%s needs %s", argv[0], option);
    return kExitSuccess;
}

// Takes "-j N" and "--level L" out of the pack verb's arguments; the rest
// go to parse().
int take_pack_options(int argc, const char* const* argv, std::vector<const char*>* rest, unsigned* threads,
                      int* level, FILE* err) {
    const unsigned cores = std::thread::hardware_concurrency();
    *threads = cores == 0 ? 1 : cores > kMostThreads ? kMostThreads : cores;
    *level = kLevelDefault;
    for (int i = 0; i < argc; ++i) {
        const bool is_threads = i > 0 && strcmp(argv[i], "-j") == 0;
        if (!is_threads && (i == 0 || strcmp(argv[i], "--level") != 0)) {
            rest->push_back(argv[i]);
            continue;
        }
        const char* value = i + 1 < argc ? argv[++i] : "";
        if (!is_threads) {
            if (strcmp(value, "smallest") == 0) {
                *level = kLevelSmallest;
            } else if (value[0] >= '0' && value[0] <= '9' && value[1] == 0) {
                *level = value[0] - '0';
            } else {
                return report(err, kExitRefused, "--level needs 0 to 9 or smallest");
            }
            continue;
        }
        char* after = nullptr;
        const unsigned long n = strtoul(value, &after, 10);
        if (after == value || *after != 0 || n < 1 || n > kMostThreads) {
            return report(err, kExitRefused, "-j needs a number of threads from 1 to %u", kMostThreads);
        }
        *threads = static_cast<unsigned>(n);
    }
    return kExitSuccess;
}

}  // namespace

int run_packer(int argc, const char* const* argv, FILE* out, FILE* err) {
    if (argc >= 1 && (strcmp(argv[0], "--help") == 0 || strcmp(argv[0], "-h") == 0)) {
        fputs(kHelp, out);
        return kExitSuccess;
    }
    if (argc < 1) return report(err, kExitRefused, "no verb given (see --help)");
    const char* operand = nullptr;
    const char* value = nullptr;
    const char* list = nullptr;
    int code = kExitSuccess;
    if (strcmp(argv[0], "pack") == 0) {
        std::vector<const char*> rest;
        unsigned threads = 1;
        int level = kLevelDefault;
        code = take_pack_options(argc, argv, &rest, &threads, &level, err);
        if (code != kExitSuccess) return code;
        code = parse(static_cast<int>(rest.size()), rest.data(), "DIR", &operand, "-o", &value, "--list", &list, err);
        return code != kExitSuccess ? code : pack_directory(operand, value, list, threads, kPackBudget, level, err);
    }
    if (strcmp(argv[0], "extract") == 0) {
        code = parse(argc, argv, "FILE", &operand, "-d", &value, nullptr, nullptr, err);
        return code != kExitSuccess ? code : extract_archive(operand, value, err);
    }
    if (strcmp(argv[0], "list") == 0 || strcmp(argv[0], "verify") == 0) {
        code = parse(argc, argv, "FILE", &operand, nullptr, nullptr, nullptr, nullptr, err);
        if (code != kExitSuccess) return code;
        return argv[0][0] == 'l' ? list_archive(operand, out, err) : verify_archive(operand, out, err);
    }
    return report(err, kExitRefused, "unknown verb %s (see --help)", argv[0]);
}
