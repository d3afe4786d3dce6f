// Entries extracted for real below a scratch DestinationDir in the Wine
// prefix; only the message box is recorded instead of shown.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/globals.h"
#include "common/memory.h"
#include "common/text.h"
#include "payload/extract.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

const char kDamaged[] =
    "Error during file extraction. The compressed data contained in this archive seems to be "
    "corrupted.\n\nIf you downloaded this file try downloading it again.";
const char kCrcError[] =
    "Error during file extraction (CRC error). The compressed data contained in this archive "
    "seems to be corrupted.\n\nIf you downloaded this file try downloading it again.";
const char kInitFailed[] = "Unable to initialize decompressor.";
const char kNoMemory[] = "Not enough free memory.";

std::string creation_failure(const std::string& name) {
    return "Error creating file '" + name +
           "'\nPlease verify that there is enough free disk space on the target disk.";
}

std::string deflate_text(const std::string& content) {
    uLongf size = compressBound(content.size());
    std::string out(size, '\0');
    EXPECT_EQ(Z_OK, compress2(reinterpret_cast<Bytef*>(&out[0]), &size,
                              reinterpret_cast<const Bytef*>(content.data()), content.size(),
                              Z_DEFAULT_COMPRESSION));
    out.resize(size);
    return out;
}

unsigned crc_of(const std::string& content) {
    return crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                 static_cast<uInt>(content.size()));
}

std::string varied_content(std::size_t size, unsigned seed) {
    std::string s;
    s.reserve(size);
    unsigned x = seed;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        s.push_back(static_cast<char>(x >> 17));
    }
    return s;
}

// One payload entry held in memory: its name and stream live as long as it.
struct TestEntry {
    std::string name;
    std::string stream;
    unsigned crc;

    TestEntry(std::string entry_name, const std::string& content)
        : name(std::move(entry_name)), stream(deflate_text(content)), crc(crc_of(content)) {}

    PayloadEntry view() const {
        PayloadEntry entry{};
        entry.name = name.c_str();
        entry.name_length = static_cast<unsigned>(name.size());
        entry.content_crc = crc;
        entry.compressed_length = static_cast<unsigned>(stream.size());
        entry.data = reinterpret_cast<const unsigned char*>(stream.data());
        entry.next = entry.data + stream.size();
        return entry;
    }
};

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_directory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> directory_entries(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Only a file nobody holds open can be opened without sharing.
bool nobody_holds_open(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}


class ExtractEntry : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        base_ = make_scratch_directory("extract");
        ASSERT_FALSE(base_.empty());
        dest_ = base_ + "\\dest";
        ASSERT_TRUE(CreateDirectoryA(dest_.c_str(), nullptr));
        g_setup.DestinationDir = static_cast<char*>(alloc_or_report(kPathBufferSize));
        g_setup.ScratchPath = static_cast<char*>(alloc_or_report(kPathBufferSize));
        ASSERT_NE(nullptr, g_setup.DestinationDir);
        copy_text(g_setup.DestinationDir, (dest_ + "\\").c_str());
        // Start somewhere else: extraction must enter DestinationDir itself.
        SetCurrentDirectoryA(base_.c_str());
    }

    void TearDown() override {
        SetCurrentDirectoryA(base_.c_str());
        release_block(g_setup.DestinationDir);
        release_block(g_setup.ScratchPath);
    }

    int extract(const TestEntry& entry) {
        const PayloadEntry view = entry.view();
        return extract_entry(view, &run_);
    }

    std::string in_dest(const std::string& relative) const { return dest_ + "\\" + relative; }

    void expect_one_message(const std::string& text) {
        ASSERT_EQ(1u, recorded_messages().size());
        EXPECT_EQ(text, recorded_messages()[0].text);
        EXPECT_EQ("Error", recorded_messages()[0].caption);
        EXPECT_EQ(16u, recorded_messages()[0].flags);
    }

    std::string base_;
    std::string dest_;
    ExtractionRun run_ = make_run();

    static ExtractionRun make_run() {
        ExtractionRun run;
        start_extraction(&run);
        return run;
    }
};

}  // namespace

TEST_F(ExtractEntry, WritesNestedFilesAndLeavesDestinationCurrent) {
    const std::string skin = varied_content(123456, 1);
    EXPECT_EQ(1, extract(TestEntry("Skins\\Classic\\Large\\classic.s4u", skin)));
    EXPECT_EQ(1, extract(TestEntry("readme.txt", "top level")));
    EXPECT_TRUE(recorded_messages().empty());
    EXPECT_TRUE(is_directory(in_dest("Skins")));
    EXPECT_TRUE(is_directory(in_dest("Skins\\Classic")));
    EXPECT_TRUE(is_directory(in_dest("Skins\\Classic\\Large")));
    EXPECT_EQ(skin, read_file(in_dest("Skins\\Classic\\Large\\classic.s4u")));
    EXPECT_EQ("top level", read_file(in_dest("readme.txt")));
    EXPECT_EQ((std::vector<std::string>{"Skins", "readme.txt"}), directory_entries(dest_));
    EXPECT_TRUE(nobody_holds_open(in_dest("readme.txt")));
    EXPECT_EQ(0, lstrcmpiA(dest_.c_str(), current_directory().c_str()));
}

TEST_F(ExtractEntry, EachEntryFindsItsFoldersWhateverTheEntryBefore) {
    // Folder by folder, as the packer orders a product; then back to an
    // earlier folder, up to a shallower one, down into new ones, to the top
    // and down again.
    const char* const names[] = {"Skins\\Classic\\a.s4u",        "Skins\\Classic\\b.s4u",
                                 "Skins\\c.s4u",                  "Plugins\\Codecs\\Video\\d.dll",
                                 "Skins\\Classic\\e.s4u",        "f.txt",
                                 "Skins\\Classic\\Large\\g.s4u"};
    for (const char* name : names) EXPECT_EQ(1, extract(TestEntry(name, name))) << name;
    EXPECT_TRUE(recorded_messages().empty());
    for (const char* name : names) EXPECT_EQ(name, read_file(in_dest(name))) << name;
}

TEST_F(ExtractEntry, OnlyTheLastBackslashSplitsTheName) {
    // Forward slashes alone make no directory: the file needs them to exist.
    const TestEntry forward("Docs/Guide/intro.txt", "introduction");
    EXPECT_EQ(0, extract(forward));
    expect_one_message(creation_failure("Docs/Guide/intro.txt"));
    EXPECT_TRUE(directory_entries(dest_).empty());

    reset_messages();
    ASSERT_TRUE(CreateDirectoryA(in_dest("Docs").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(in_dest("Docs\\Guide").c_str(), nullptr));
    EXPECT_EQ(1, extract(forward));
    EXPECT_TRUE(recorded_messages().empty());
    EXPECT_EQ("introduction", read_file(in_dest("Docs\\Guide\\intro.txt")));

    // Before a backslash, a forward slash separates directories too.
    EXPECT_EQ(1, extract(TestEntry("Lang/Packs\\de.lng", "deutsch")));
    EXPECT_TRUE(is_directory(in_dest("Lang\\Packs")));
    EXPECT_EQ("deutsch", read_file(in_dest("Lang\\Packs\\de.lng")));
}

TEST_F(ExtractEntry, ExistingFilesAreReplacedAndTheLaterEntryWins) {
    ASSERT_TRUE(write_file(in_dest("Zaphio.exe"), std::string(50000, 'o')));
    EXPECT_EQ(1, extract(TestEntry("Zaphio.exe", "short and new")));
    EXPECT_EQ("short and new", read_file(in_dest("Zaphio.exe")));

    EXPECT_EQ(1, extract(TestEntry("Plugins\\note.txt", "first")));
    EXPECT_EQ(1, extract(TestEntry("Plugins\\note.txt", "second, longer content")));
    EXPECT_EQ("second, longer content", read_file(in_dest("Plugins\\note.txt")));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(ExtractEntry, AnEmptyFileIsCreatedEmpty) {
    const TestEntry empty("Plugins\\empty.txt", "");
    EXPECT_EQ(0u, empty.crc);
    EXPECT_EQ(1, extract(empty));
    EXPECT_TRUE(recorded_messages().empty());
    ASSERT_TRUE(exists(in_dest("Plugins\\empty.txt")));
    EXPECT_EQ("", read_file(in_dest("Plugins\\empty.txt")));
}

TEST_F(ExtractEntry, TrailingBytesAfterTheStreamAreIgnored) {
    TestEntry entry("note.txt", "the note");
    entry.stream += "trailing garbage";
    EXPECT_EQ(1, extract(entry));
    EXPECT_TRUE(recorded_messages().empty());
    EXPECT_EQ("the note", read_file(in_dest("note.txt")));
}

TEST_F(ExtractEntry, AFileInUseOrADirectoryInTheWayCannotBeCreated) {
    ASSERT_TRUE(CreateDirectoryA(in_dest("Plugins").c_str(), nullptr));
    ASSERT_TRUE(write_file(in_dest("Plugins\\busy.dll"), "old"));
    HANDLE busy = CreateFileA(in_dest("Plugins\\busy.dll").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, busy);
    EXPECT_EQ(0, extract(TestEntry("Plugins\\busy.dll", "new")));
    CloseHandle(busy);
    expect_one_message(creation_failure("Plugins\\busy.dll"));
    EXPECT_EQ("old", read_file(in_dest("Plugins\\busy.dll")));

    reset_messages();
    ASSERT_TRUE(CreateDirectoryA(in_dest("Skins").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(in_dest("Skins\\blue.s4u").c_str(), nullptr));
    EXPECT_EQ(0, extract(TestEntry("Skins\\blue.s4u", "skin")));
    expect_one_message(creation_failure("Skins\\blue.s4u"));
    EXPECT_TRUE(is_directory(in_dest("Skins\\blue.s4u")));
}

TEST_F(ExtractEntry, AReadOnlyFileIsNotMadeWritable) {
    if (!read_only_binds(base_)) {
        GTEST_SKIP() << "this prefix lets the user write to read-only files (Wine keeps the "
                        "attribute in the Unix mode, which does not bind root)";
    }
    ASSERT_TRUE(CreateDirectoryA(in_dest("Plugins").c_str(), nullptr));
    const std::string locked = in_dest("Plugins\\locked.dll");
    ASSERT_TRUE(write_file(locked, "old"));
    ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0, extract(TestEntry("Plugins\\locked.dll", "new")));
    expect_one_message(creation_failure("Plugins\\locked.dll"));
    EXPECT_EQ("old", read_file(locked));
    EXPECT_NE(0u, GetFileAttributesA(locked.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ExtractEntry, DamagedOrCutShortStreamsAreDamagedData) {
    const std::string content = varied_content(60000, 2);
    TestEntry damaged("damaged.bin", content);
    damaged.stream[damaged.stream.size() / 2] ^= 0x5A;
    damaged.stream[damaged.stream.size() / 2 + 1] ^= 0xA5;
    EXPECT_EQ(0, extract(damaged));
    expect_one_message(kDamaged);
    EXPECT_TRUE(nobody_holds_open(in_dest("damaged.bin")));

    reset_messages();
    TestEntry cut("cut.bin", content);
    cut.stream.resize(cut.stream.size() / 2);
    EXPECT_EQ(0, extract(cut));
    expect_one_message(kDamaged);
    // What was inflated before the end stays on disk; nothing is deleted.
    ASSERT_TRUE(exists(in_dest("cut.bin")));
    const std::string partial = read_file(in_dest("cut.bin"));
    EXPECT_EQ(content.substr(0, partial.size()), partial);
    EXPECT_TRUE(nobody_holds_open(in_dest("cut.bin")));

    reset_messages();
    TestEntry bad_adler("adler.bin", content);
    bad_adler.stream.back() ^= 1;
    EXPECT_EQ(0, extract(bad_adler));
    expect_one_message(kDamaged);
}

TEST_F(ExtractEntry, CrcMismatchIsReportedAfterTheWholeFileWasWritten) {
    const std::string content = varied_content(45678, 3);
    TestEntry entry("Plugins\\codec.dll", content);
    entry.crc ^= 0x00010000u;
    EXPECT_EQ(0, extract(entry));
    expect_one_message(kCrcError);
    EXPECT_EQ(content, read_file(in_dest("Plugins\\codec.dll")));
    EXPECT_TRUE(nobody_holds_open(in_dest("Plugins\\codec.dll")));
}

TEST_F(ExtractEntry, UnsafeNamesWriteNothingAnywhere) {
    // A token no other run uses, so that a stray file cannot predate the test.
    const std::string token = base_.substr(base_.find_last_of('\\') + 1);
    const std::string parent = base_.substr(0, base_.find_last_of('\\'));
    const std::string drive_root = base_.substr(0, 3);
    const std::vector<std::string> names = {
        "",
        "\\" + token + "-root.txt",
        "/" + token + "-root2.txt",
        "\\\\?\\" + base_ + "\\unc.txt",
        "\\\\.\\" + base_ + "\\device-path.txt",
        base_ + "\\absolute.txt",
        "C:" + token + "-drive-relative.txt",
        "notes.txt:hidden",
        "..\\escaped.txt",
        "../escaped2.txt",
        "..\\..\\" + token + "-escaped3.txt",
        "Plugins\\..\\..\\escaped4.txt",
        "Plugins/../../escaped5.txt",
        "Plugins\\.\\dot.txt",
        ".\\dot2.txt",
        "Plugins\\\\double.txt",
        "Plugins//double2.txt",
        "Plugins\\",
        "CON",
        "nul.txt",
        "Plugins\\aux",
        "Skins\\COM1.s4u",
        "lpt9.log",
        "prn .txt",
    };
    for (const std::string& name : names) {
        reset_messages();
        EXPECT_EQ(0, extract(TestEntry(name, "escaped")));
        ASSERT_EQ(1u, recorded_messages().size()) << name;
        EXPECT_EQ(kDamaged, recorded_messages()[0].text) << name;
        EXPECT_EQ("Error", recorded_messages()[0].caption);
        EXPECT_EQ(16u, recorded_messages()[0].flags);
        EXPECT_EQ(0, lstrcmpiA(dest_.c_str(), current_directory().c_str())) << name;
    }
    EXPECT_TRUE(directory_entries(dest_).empty());
    EXPECT_EQ(std::vector<std::string>{"dest"}, directory_entries(base_));
    for (const std::string& stray : {parent + "\\" + token + "-escaped3.txt",
                                     drive_root + token + "-root.txt",
                                     drive_root + token + "-root2.txt"}) {
        EXPECT_FALSE(exists(stray)) << stray;
    }
}

TEST_F(ExtractEntry, DirectoryChainMakesEveryLevelAndLeavesTheTextAlone) {
    // Absolute, mixed separators, an existing level, a trailing separator:
    // the drive prefix and the existing level simply fail on the way.
    const std::string path = dest_ + "\\Program Files/Quenvale\\Quenvale Tonvaro\\";
    ASSERT_TRUE(CreateDirectoryA(in_dest("Program Files").c_str(), nullptr));
    const std::string before = path;
    create_directory_chain(path.c_str());
    EXPECT_EQ(before, path);
    EXPECT_TRUE(is_directory(in_dest("Program Files\\Quenvale\\Quenvale Tonvaro")));
    EXPECT_TRUE(recorded_messages().empty());

    // Relative to the current directory.
    SetCurrentDirectoryA(dest_.c_str());
    create_directory_chain("AddOns\\Pictavo/Lang");
    EXPECT_TRUE(is_directory(in_dest("AddOns\\Pictavo\\Lang")));
}

TEST_F(ExtractEntry, ADirectoryPartBeyondAPathBufferIsACreationFailure) {
    // "d\d\...\d" of `length` characters, then the file's own name.
    auto deep_name = [](std::size_t length) {
        std::string name;
        while (name.size() + 3 <= length) name += "d\\";
        name += std::string(length - name.size(), 'd');
        return name + "\\x.txt";
    };
    const std::string too_long = deep_name(kPathCapacity + 1);
    EXPECT_EQ(0, extract(TestEntry(too_long, "deep")));
    // The message is cut where its block ends; nothing was made on the way.
    expect_one_message(creation_failure(too_long).substr(0, kPathCapacity));
    EXPECT_TRUE(directory_entries(dest_).empty());

    // One character less is copied and walked: the platform makes the
    // levels it can before the path grows too long for it.
    reset_messages();
    EXPECT_EQ(0, extract(TestEntry(deep_name(kPathCapacity), "deep")));
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_TRUE(is_directory(in_dest("d\\d")));
}

namespace {
// A heap that cannot grow: big enough for zlib's state, too small for its
// 32 KB window (or, smaller still, for the state itself).
struct SmallHeap {
    HANDLE heap;
    HANDLE saved;
    explicit SmallHeap(SIZE_T size) : heap(HeapCreate(0, size, size)), saved(g_setup.process_heap) {
        g_setup.process_heap = heap;
    }
    ~SmallHeap() {
        g_setup.process_heap = saved;
        HeapDestroy(heap);
    }
};
}  // namespace

TEST_F(ExtractEntry, ZlibMemoryComesFromTheProcessHeapWithItsReport) {
    const TestEntry entry("memory.bin", varied_content(30000, 4));
    {
        SmallHeap tiny(0x1000);
        ASSERT_NE(nullptr, tiny.heap);
        EXPECT_EQ(0, extract(entry));
    }
    ASSERT_EQ(2u, recorded_messages().size());
    EXPECT_EQ(kNoMemory, recorded_messages()[0].text);
    EXPECT_EQ(kInitFailed, recorded_messages()[1].text);
    EXPECT_EQ("Error", recorded_messages()[1].caption);
    EXPECT_EQ(16u, recorded_messages()[1].flags);
    EXPECT_TRUE(nobody_holds_open(in_dest("memory.bin")));

    reset_messages();
    {
        SmallHeap no_window(0x4000);
        ASSERT_NE(nullptr, no_window.heap);
        EXPECT_EQ(0, extract(entry));
        // zlib's state went back: room for a block larger than the rest
        // would be if it had stayed.
        void* block = HeapAlloc(no_window.heap, 0, 0x3000);
        EXPECT_NE(nullptr, block);
        if (block != nullptr) HeapFree(no_window.heap, 0, block);
    }
    ASSERT_EQ(2u, recorded_messages().size());
    EXPECT_EQ(kNoMemory, recorded_messages()[0].text);
    EXPECT_EQ(kDamaged, recorded_messages()[1].text);
}
