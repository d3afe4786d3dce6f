// The opt-in timing build's clock and its report (see common/profile.h).
#ifdef TONVARO_PROFILE
#include "common/profile.h"

#include <windows.h>

#include "common/text.h"

namespace {

unsigned long long g_sums[kProfileSlots];  // counter ticks
unsigned long long g_tsc_start;
LARGE_INTEGER g_qpc_start;
unsigned long long g_loader_us;
unsigned long long g_mark;

constexpr const char* kSlotNames[kProfileSlots] = {
    "loader", "verify", "wizard", "run", "close_player", "directories", "create_file",
    "inflate", "adler32", "crc32", "write", "close_file", "self_copy", "register", "links",
    "extensions"};

unsigned long long filetime_us(const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10;
}

}  // namespace

// The time-stamp counter: a span costs two reads of a register, where
// QueryPerformanceCounter under Wine costs microseconds, which the spans
// around every 10000-byte piece would add up to a good part of a second.
// Converted to microseconds at the end, against the performance counter.
unsigned long long profile_now() {
    const unsigned long long now = __builtin_ia32_rdtsc();
    if (g_tsc_start == 0) {
        g_tsc_start = now;
        QueryPerformanceCounter(&g_qpc_start);
        // The loader's share: from the process's creation to this first call.
        FILETIME created, exited, kernel, user, wall;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        GetSystemTimeAsFileTime(&wall);
        g_loader_us = filetime_us(wall) - filetime_us(created);
    }
    return now;
}

void profile_add(ProfileSlot slot, unsigned long long since) {
    g_sums[slot] += profile_now() - since;
}

void profile_mark() { g_mark = profile_now(); }

void profile_lap(ProfileSlot slot) {
    const unsigned long long since = g_mark;
    g_mark = profile_now();
    g_sums[slot] += g_mark - since;
}

void profile_save() {
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("TONVARO_PROFILE", path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    LARGE_INTEGER qpc, frequency;
    QueryPerformanceCounter(&qpc);
    QueryPerformanceFrequency(&frequency);
    const unsigned long long elapsed_us =
        static_cast<unsigned long long>(qpc.QuadPart - g_qpc_start.QuadPart) * 1000000 /
        static_cast<unsigned long long>(frequency.QuadPart);
    const unsigned long long ticks = __builtin_ia32_rdtsc() - g_tsc_start;
    if (elapsed_us == 0 || ticks == 0) return;
    char report[kProfileSlots * 32];
    char* at = report;
    const char* limit = report + sizeof report;
    for (int i = 0; i < kProfileSlots; ++i) {
        at = copy_text_within(at, limit, kSlotNames[i]);
        if (at != nullptr) at = copy_text_within(at, limit, " ");
        const unsigned long long us =
            i == kProfileLoader ? g_loader_us : g_sums[i] * elapsed_us / ticks;
        if (at != nullptr) at = write_decimal_within(at, limit, static_cast<unsigned>(us));
        if (at != nullptr) at = copy_text_within(at, limit, "\n");
        if (at == nullptr) return;
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, report, static_cast<DWORD>(at - report), &written, nullptr);
    CloseHandle(file);
}
#endif
