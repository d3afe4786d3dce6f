// Deinstall.exe of the sample product: for now it only tells what an
// uninstaller would remove — the files beside it and what the setup program
// recorded — and removes nothing.
// With TONVARO_DEINSTALL_REPORT naming a file, the text goes there instead
// of into a message box, so that tests need not answer a window.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char kCaption[] = "Quenvale Tonvaro Uninstall";
constexpr int kListedFiles = 30;

struct Listing {
    char text[16384];
    size_t length;
    int files;
};

void append(Listing* listing, const char* piece) {
    const int n = std::snprintf(listing->text + listing->length,
                                sizeof listing->text - listing->length, "%s", piece);
    if (n > 0) listing->length += static_cast<size_t>(n);
    if (listing->length >= sizeof listing->text) listing->length = sizeof listing->text - 1;
}

// Files below `directory`, named from offset `base` of their paths, in the
// order the file system gives them: enough for a preview.
void list_files(const char* directory, size_t base, Listing* listing) {
    char pattern[MAX_PATH];
    if (std::snprintf(pattern, sizeof pattern, "%s\\*", directory) >= static_cast<int>(sizeof pattern)) return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
        char path[MAX_PATH];
        if (std::snprintf(path, sizeof path, "%s\\%s", directory, found.cFileName) >=
            static_cast<int>(sizeof path)) {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            list_files(path, base, listing);
            continue;
        }
        if (++listing->files <= kListedFiles) {
            append(listing, "    ");
            append(listing, path + base);
            append(listing, "\r\n");
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char directory[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, directory, sizeof directory);
    if (n == 0 || n >= sizeof directory) return 1;
    char* last = std::strrchr(directory, '\\');
    if (last != nullptr) *last = '\0';

    static Listing listing;
    append(&listing, "This uninstaller is a preview and removes nothing. A full one would remove\r\n\r\n");
    append(&listing, "the files in ");
    append(&listing, directory);
    append(&listing, ":\r\n");
    list_files(directory, std::strlen(directory) + 1, &listing);
    if (listing.files > kListedFiles) {
        char more[64];
        std::snprintf(more, sizeof more, "    and %d more\r\n", listing.files - kListedFiles);
        append(&listing, more);
    }
    append(&listing,
           "\r\nthe Start-menu group, the desktop and Quick Launch links, the file types "
           ".p4u and .s4u, and the registry keys SOFTWARE\\Quenvale\\Quenvale Tonvaro and "
           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quenvale Tonvaro.");

    char report[MAX_PATH];
    const DWORD r = GetEnvironmentVariableA("TONVARO_DEINSTALL_REPORT", report, sizeof report);
    if (r != 0 && r < sizeof report) {
        FILE* f = std::fopen(report, "wb");
        if (f == nullptr) return 1;
        std::fwrite(listing.text, 1, listing.length, f);
        return std::fclose(f) == 0 ? 0 : 1;
    }
    MessageBoxA(nullptr, listing.text, kCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
