#include "install/destination_default.h"

#include <windows.h>

#include "common/globals.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "registration/compositions.h"
#include "registration/keys.h"

namespace {

constexpr const char* kProfileVariable = "%userprofile%";
constexpr const char* kProfileProgramsFolder = "My Program Files";
constexpr unsigned kProbeNames = 10000;

int read_directory_value(HKEY root, const char* sub_key, const char* value, char* out) {
    out[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, sub_key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    DWORD type = REG_SZ;
    DWORD size = kPathCapacity;
    const LONG result =
        RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ || size > kPathCapacity) {
        out[0] = 0;
        return 0;
    }
    // A value that fills the capacity, or was stored without a terminator,
    // ends in the PathBuffer's spare byte.
    out[size] = 0;
    return out[0] != 0 ? 1 : 0;
}

// A source that names a directory nobody can write to, or one too long to
// take the probe name, counts as absent.
void drop_unless_writable(char* result, char* work) {
    if (result[0] != 0 && !probe_writable(result, work)) result[0] = 0;
}

// The profile is not probed: it is the user's own.
int compose_profile_folder(char* result) {
    const DWORD needed = expand_environment_path(kProfileVariable, result, kPathCapacity);
    if (needed == 0 || needed > kPathCapacity || result[0] == '%') return 0;
    const char* limit = result + kPathBufferSize;
    char* end = ensure_trailing_separator_within(result, limit);
    return end != nullptr && copy_text_within(end, limit, kProfileProgramsFolder) != nullptr ? 1
                                                                                            : 0;
}

}  // namespace

int read_app_dir(char* out) {
    return read_directory_value(g_setup.RegistryRoots.application_root, kApplicationKey,
                                kAppDirValue, out);
}

int read_program_files_dir(char* out) {
    return read_directory_value(HKEY_LOCAL_MACHINE, kWindowsVersionKey, kProgramFilesDirValue,
                                out);
}

int probe_writable(const char* dir, char* work) {
    char* const digits = compose_probe_name(work, work + kPathBufferSize, dir);
    if (digits == nullptr) return 0;
    for (unsigned n = 0; n < kProbeNames; ++n) {
        write_decimal_fixed(digits, n, 4);
        HANDLE file = CreateFileA(work, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileA(work);
            return 1;
        }
        const DWORD reason = GetLastError();
        if (reason != ERROR_FILE_EXISTS && reason != ERROR_ALREADY_EXISTS) return 0;
    }
    return 0;
}

void choose_default_destination(char* result, char* work) {
    const char* limit = result + kPathBufferSize;
    read_app_dir(result);
    drop_unless_writable(result, work);
    if (result[0] != 0) return;  // the earlier choice, exactly as stored

    read_program_files_dir(result);
    drop_unless_writable(result, work);
    // Program Files too long to take the product folder counts as absent.
    if (result[0] != 0 && append_product_folder(result, limit) != nullptr) return;

    if (!compose_profile_folder(result) || append_product_folder(result, limit) == nullptr) {
        result[0] = 0;
    }
}
