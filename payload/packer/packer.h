#pragma once
// tonvaro-pack: writes and reads the setup program's payload archive on the
// build machine. Each verb answers the process exit code and has already
// reported what went wrong on `err` ("tonvaro-pack: ..." lines).

#include <cstdio>

constexpr int kExitSuccess = 0;
// The archive is damaged, or reading or writing a file failed.
constexpr int kExitDamaged = 1;
// The input is refused as unsafe or unfit for Windows, or the usage is wrong.
constexpr int kExitRefused = 2;

// Bytes of finished streams that may wait in memory for their turn while an
// earlier entry is still being compressed; besides them, each thread holds
// the stream it is making. Half as much made packing the bench content on
// two cores 15 % slower (waiting behind its largest file) for 30 MB less.
constexpr unsigned long long kPackBudget = 128ull << 20;

// Compression levels: zlib's own 0 to 9, its default (6), or the smallest
// streams, made with libdeflate's best level and many times slower. Every
// level makes plain zlib streams with a 32 KiB window.
constexpr int kLevelDefault = -1;
constexpr int kLevelSmallest = 10;

// list_file: null packs every regular file under dir; otherwise exactly
// the files it names, in its order. `threads` compress at once; the archive
// is the same for any number and any budget.
int pack_directory(const char* dir, const char* output, const char* list_file, unsigned threads,
                   unsigned long long budget, int level, FILE* err);
int list_archive(const char* path, FILE* out, FILE* err);
int verify_archive(const char* path, FILE* out, FILE* err);
int extract_archive(const char* path, const char* dir, FILE* err);

// The command line without the program name.
int run_packer(int argc, const char* const* argv, FILE* out, FILE* err);
