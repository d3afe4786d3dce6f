// Stands in for the web browser in every test prefix: the http protocol's
// open command runs it, and it only appends the address it was given to
// C:\tonvaro-opened-urls.txt, so that no test ever opens a real browser.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    if (FILE* f = std::fopen("C:\\tonvaro-opened-urls.txt", "ab")) {
        std::fprintf(f, "%s\n", arguments);
        std::fclose(f);
    }
    return 0;
}
