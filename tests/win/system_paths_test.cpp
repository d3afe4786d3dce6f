// Paths that the system gives out, under a folder whose name the code page
// cannot spell (Cyrillic on a Western Windows): each reaches the setup's
// code as ANSI text that names the same file, with the short name only for
// that folder; names the code page spells stay as they are. The setup's own
// path and the shell's folders are proven end to end (the typical run and
// the round trip in cyrillic_user).
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "common/system_paths.h"
#include "tests/win/test_support.h"

namespace {

std::wstring widen(const std::string& text) {
    wchar_t wide[MAX_PATH * 2];
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH * 2);
    return n > 0 ? std::wstring(wide) : std::wstring();
}

// The file's full long name, as the file system holds it.
std::wstring long_name(const std::string& ansi) {
    wchar_t wide[MAX_PATH * 2];
    const DWORD n = GetLongPathNameW(widen(ansi).c_str(), wide, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(wide) : std::wstring(L"(none)");
}

bool code_page_spells(const wchar_t* text) {
    char bytes[MAX_PATH];
    BOOL defaulted = FALSE;
    return WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof bytes, nullptr, &defaulted) > 0 &&
           !defaulted;
}

class SystemPaths : public ::testing::Test {
protected:
    void SetUp() override {
        if (code_page_spells(kFolder)) {
            GTEST_SKIP() << "this code page (" << GetACP() << ") spells Cyrillic";
        }
        base_ = make_scratch_directory("system-paths");
        folder_ = widen(base_) + L"\\" + kFolder;
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        saved_directory_ = current_directory();
    }
    void TearDown() override {
        if (!saved_directory_.empty()) SetCurrentDirectoryA(saved_directory_.c_str());
    }

    // The ANSI spelling under test: the base as it was, then the folder's
    // short name, without a "?" anywhere.
    void expect_spelled(const std::string& path, const std::wstring& names) {
        EXPECT_EQ(std::string::npos, path.find('?')) << path;
        EXPECT_EQ(0u, path.rfind(base_ + "\\", 0)) << path;
        EXPECT_EQ(names, long_name(path)) << path;
    }

    static constexpr const wchar_t* kFolder = L"Загрузки";
    std::string base_;
    std::wstring folder_;
    std::string saved_directory_;
};

TEST_F(SystemPaths, DirectoriesFromTheProcessAreSpelledByTheFolderShortName) {
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
    char lossy[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof lossy, lossy));
    EXPECT_NE(std::string::npos, std::string(lossy).find('?')) << "the ANSI view: " << lossy;

    const DWORD size = get_current_directory(0, nullptr);
    ASSERT_NE(0u, size);
    std::string directory(size, '\0');
    ASSERT_EQ(size - 1, get_current_directory(size, &directory[0]));
    directory.resize(size - 1);
    expect_spelled(directory, folder_);
    EXPECT_TRUE(SetCurrentDirectoryA(directory.c_str()));

    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", (folder_ + L"\\").c_str()));
    char temp[MAX_PATH];
    const DWORD length = get_temp_path(sizeof temp, temp);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", nullptr));
    ASSERT_NE(0u, length);
    EXPECT_EQ('\\', temp[length - 1]);
    expect_spelled(temp, folder_ + L"\\");

    const std::wstring profile = folder_ + L"\\My Program Files";
    ASSERT_TRUE(CreateDirectoryW(profile.c_str(), nullptr));
    ASSERT_TRUE(SetEnvironmentVariableW(L"TONVARO_PROFILE_TEST", profile.c_str()));
    char expanded[MAX_PATH];
    const DWORD needed = expand_environment_path("%TONVARO_PROFILE_TEST%", expanded, sizeof expanded);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TONVARO_PROFILE_TEST", nullptr));
    ASSERT_EQ(std::string(expanded).size() + 1, needed);
    expect_spelled(expanded, profile);
    EXPECT_NE(std::string::npos, std::string(expanded).find("\\My Program Files"));
}

TEST_F(SystemPaths, EveryNameFoundOpensItsFile) {
    for (const wchar_t* name : {L"plain.exe", L"Пиктаво.exe"}) {
        HANDLE file = CreateFileW((folder_ + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
    }
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
    std::set<std::wstring> opened;
    WIN32_FIND_DATAA found;
    HANDLE search = find_first_file("*.exe", &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    do {
        EXPECT_EQ(std::string::npos, std::string(found.cFileName).find('?')) << found.cFileName;
        opened.insert(long_name(found.cFileName));
    } while (find_next_file(search, &found));
    FindClose(search);
    // Relative names, relative long names.
    EXPECT_EQ((std::set<std::wstring>{L"plain.exe", L"Пиктаво.exe"}), opened);
}

}  // namespace
