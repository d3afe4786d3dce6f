#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <random>

#include "payload/entry_name.h"
#include "tests/host/packer_test_support.h"

namespace {

using namespace packer_test;

// Entry names and the first two bytes of each stream, read with the
// portable reader the setup program uses.
std::vector<std::string> entry_names(const Bytes& archive, std::vector<std::string>* stream_starts = nullptr) {
    std::vector<std::string> names;
    const unsigned char* at = archive.data() + 8;
    PayloadEntry entry;
    for (unsigned i = 0; i < read_u32le(archive.data() + 4); ++i, at = entry.next) {
        if (!read_entry(at, archive.data() + archive.size(), &entry)) break;
        names.emplace_back(entry.name, entry.name_length);
        if (stream_starts) stream_starts->emplace_back(reinterpret_cast<const char*>(entry.data), 2);
    }
    return names;
}

std::string random_bytes(size_t count) {
    std::mt19937 generator(7);
    std::string text(count, 0);
    for (char& c : text) c = static_cast<char>(generator());
    return text;
}

// Runs `body` in a child whose file size limit of `bytes` stands for a full
// disk, its messages going to the file `err_path`; answers its exit code, or
// -1 when it did not exit (an alarm ends a deadlock instead of the test).
int with_full_disk(rlim_t bytes, const std::string& err_path, const std::function<int(FILE*)>& body) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        alarm(30);
        FILE* err = fopen(err_path.c_str(), "w");
        const int code = body(err);
        fclose(err);
        _exit(code);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Text of `count` bytes that compresses well, in lines of words.
std::string words(size_t count) {
    static const char* const kWords[] = {"tonvaro ", "quenvale ", "player ", "setup ", "archive ", "entry\n"};
    std::mt19937 generator(11);
    std::string text;
    while (text.size() < count) text += kWords[generator() % 6];
    text.resize(count);
    return text;
}

// Every level: the default (zlib's, no option given) and the smallest.
class PackLevels : public ::testing::TestWithParam<std::string> {};

TEST_P(PackLevels, ExtractGivesBackEveryFileAndListShowsThem) {
    ScratchDir scratch;
    write_file(scratch / "in/readme.txt", "read me\n");
    write_file(scratch / "in/empty", "");
    // Large enough that the archive CRC is taken in two halves, and that the
    // smallest level joins several pieces of one stream.
    write_file(scratch / "in/data/noise.bin", random_bytes(9 << 20));
    write_file(scratch / "in/data/words.txt", words(5 << 20));
    write_file(scratch / "in/data/deep/er/leaf.txt", std::string(5000, 'x'));
    std::vector<std::string> level;
    if (!GetParam().empty()) level = {"--level", GetParam()};
    for (const char* threads : {"1", "3"}) {
        std::vector<std::string> pack = {"pack", scratch / "in", "-j", threads, "-o", scratch / (std::string(threads) + ".bin")};
        pack.insert(pack.end(), level.begin(), level.end());
        ASSERT_EQ(0, run(pack).code);
    }
    const std::string archive = scratch / "1.bin";
    EXPECT_EQ(read_bytes(archive), read_bytes(scratch / "3.bin"));

    std::vector<std::string> starts;
    EXPECT_EQ((std::vector<std::string>{"data\\deep\\er\\leaf.txt", "data\\noise.bin", "data\\words.txt", "empty",
                                        "readme.txt"}),
              entry_names(read_bytes(archive), &starts));
    EXPECT_EQ(std::vector<std::string>(5, GetParam() == "smallest" ? "\x78\xDA" : "\x78\x9C"), starts);

    const ToolRun verify = run({"verify", archive});
    EXPECT_EQ(0, verify.code) << verify.err;
    EXPECT_EQ("ok: 5 entries, " + std::to_string((14 << 20) + 5008) + " bytes\n", verify.out);
    const ToolRun list = run({"list", archive});
    EXPECT_EQ(0, list.code);
    EXPECT_NE(std::string::npos, list.out.find(" 9437184 "));
    EXPECT_NE(std::string::npos, list.out.find(" 00000000 empty\n"));
    EXPECT_NE(std::string::npos, list.out.find(" data\\deep\\er\\leaf.txt\n"));
    EXPECT_NE(std::string::npos, list.out.find("\n5 entries, "));

    ASSERT_EQ(0, run({"extract", archive, "-d", scratch / "out"}).code);
    EXPECT_EQ(snapshot(scratch / "in"), snapshot(scratch / "out"));
}

INSTANTIATE_TEST_SUITE_P(PackRoundTrip, PackLevels, ::testing::Values("", "smallest"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param.empty() ? std::string("Default") : std::string("Smallest");
                         });

TEST(PackRoundTrip, SameTreeGivesSameBytesInByteOrderOfTheSlashForm) {
    ScratchDir scratch;
    const std::vector<std::string> files = {"a_", "a/b", "B", "a-c", "c", "zz", "Ab"};
    for (size_t i = 0; i < files.size(); ++i) {
        write_file(scratch / ("one/" + files[i]), files[i]);
        write_file(scratch / ("two/" + files[files.size() - 1 - i]), files[files.size() - 1 - i]);
    }
    ASSERT_EQ(0, run({"pack", scratch / "one", "-o", scratch / "1.bin"}).code);
    ASSERT_EQ(0, run({"pack", scratch / "two", "-o", scratch / "2.bin"}).code);
    EXPECT_EQ(read_bytes(scratch / "1.bin"), read_bytes(scratch / "2.bin"));
    EXPECT_EQ((std::vector<std::string>{"Ab", "B", "a-c", "a\\b", "a_", "c", "zz"}),
              entry_names(read_bytes(scratch / "1.bin")));
}

TEST(PackRoundTrip, AnyThreadCountAndBudgetGivesTheSameBytes) {
    ScratchDir scratch;
    // Sizes out of name order, so that workers finish out of archive order;
    // the larger streams span several of the packer's pieces.
    std::vector<HandEntry> by_hand;
    for (int i = 0; i < 12; ++i) {
        const std::string name = "f" + std::to_string(i);
        const std::string content = random_bytes(((i * 7) % 12) << 17) + std::string(i * 999, 't');
        write_file(scratch / ("in/" + name), content);
        by_hand.push_back(hand_entry(name, content));
    }
    std::sort(by_hand.begin(), by_hand.end(), [](const HandEntry& a, const HandEntry& b) { return a.name < b.name; });
    for (const char* threads : {"1", "2", "7"}) {
        ASSERT_EQ(0, run({"pack", scratch / "in", "-j", threads, "-o", scratch / (std::string(threads) + ".bin")}).code);
    }
    const Bytes one = read_bytes(scratch / "1.bin");
    EXPECT_EQ(hand_archive(12, by_hand), one);
    EXPECT_EQ(one, read_bytes(scratch / "2.bin"));
    EXPECT_EQ(one, read_bytes(scratch / "7.bin"));
    // No room for finished streams at all: only the entry written next may start.
    for (unsigned threads : {1u, 7u}) {
        ASSERT_EQ(0, pack_directory((scratch / "in").c_str(), (scratch / "tight.bin").c_str(), nullptr, threads, 0, kLevelDefault, stderr));
        EXPECT_EQ(one, read_bytes(scratch / "tight.bin")) << threads;
    }
    EXPECT_EQ(2, run({"pack", scratch / "in", "-j", "0", "-o", scratch / "0.bin"}).code);
    EXPECT_EQ(2, run({"pack", scratch / "in", "--level", "12", "-o", scratch / "0.bin"}).code);
}

TEST(PackRoundTrip, ListFileOrderIsKeptAndUnlistedFilesLeftOut) {
    ScratchDir scratch;
    for (const char* name : {"z.txt", "a/b.txt", "m/n.txt", "unlisted.txt"}) write_file(scratch / ("in/" + std::string(name)), name);
    write_file(scratch / "list", "# shipped files\n\nz.txt\r\na\\b.txt\nm/n.txt");
    ASSERT_EQ(0, run({"pack", scratch / "in", "--list", scratch / "list", "-o", scratch / "p.bin"}).code);
    EXPECT_EQ((std::vector<std::string>{"z.txt", "a\\b.txt", "m\\n.txt"}), entry_names(read_bytes(scratch / "p.bin")));
}

int run_built_tool(const std::string& arguments) {
    const int status = std::system((std::string(TONVARO_PACK) + " " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PackRoundTrip, BuiltToolAnswersWithItsExitCodes) {
    ScratchDir scratch;
    write_file(scratch / "in/a/b.txt", "b");
    EXPECT_EQ(0, run_built_tool("--help >/dev/null"));
    EXPECT_EQ(0, run_built_tool("pack " + scratch / "in" + " -o " + scratch / "p.bin"));
    EXPECT_EQ(0, run_built_tool("verify " + scratch / "p.bin" + " >/dev/null"));
    EXPECT_EQ(0, run_built_tool("extract " + scratch / "p.bin" + " -d " + scratch / "out"));
    EXPECT_EQ("b", read_file(scratch / "out/a/b.txt"));
    write_file(scratch / "in/CON", "");
    EXPECT_EQ(2, run_built_tool("pack " + scratch / "in" + " -o " + scratch / "q.bin 2>" + scratch / "err"));
    EXPECT_EQ("tonvaro-pack: refused CON: " + std::string(describe_entry_name_problem(kNameDevice)) + "\n",
              read_file(scratch / "err"));
    EXPECT_EQ(2, run_built_tool("frobnicate 2>/dev/null"));
    write_file(scratch / "p.bin", read_file(scratch / "p.bin") + "!");
    EXPECT_EQ(1, run_built_tool("verify " + scratch / "p.bin" + " 2>/dev/null"));
}

// Packs `dir` to a fresh output beside it and expects a refusal naming
// `shown` for `reason`, with no output and no temporary file left behind.
void expect_pack_refused(const ScratchDir& scratch, const std::vector<std::string>& extra,
                         const std::string& shown, const std::string& reason) {
    std::vector<std::string> arguments = {"pack", scratch / "in", "-o", scratch / "out/p.bin"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    fs::create_directories(scratch / "out");
    const ToolRun result = run(arguments);
    EXPECT_EQ(2, result.code) << shown;
    EXPECT_EQ(0u, result.err.find("tonvaro-pack: refused " + shown + ": ")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(reason)) << result.err;
    EXPECT_TRUE(fs::is_empty(scratch / "out")) << shown;
}

TEST(PackRefuses, NamesWindowsWouldNotWriteFaithfully) {
    const struct {
        std::string path;
        std::string shown;
        EntryNameProblem problem;
    } cases[] = {
        {"sub/CON.txt", "sub/CON.txt", kNameDevice},
        {"a?b", "a?b", kNameForbiddenChar},
        {"tab\tname", "tab\\x09name", kNameForbiddenChar},
        {"a:b", "a:b", kNameColon},
        {"caf\xC3\xA9", "caf\\xC3\\xA9", kNameNotAscii},
        {"name.", "name.", kNameTrailingDotOrBlank},
        {"dir /x", "dir /x", kNameTrailingDotOrBlank},
        {std::string(200, 'd') + "/" + std::string(59, 'f'), std::string(200, 'd') + "/" + std::string(59, 'f'),
         kNameTooLong},
    };
    for (const auto& c : cases) {
        ScratchDir scratch;
        write_file(scratch / "in/fine.txt", "fine");
        write_file(scratch / ("in/" + c.path), "x");
        expect_pack_refused(scratch, {}, c.shown, describe_entry_name_problem(c.problem));
    }
    ScratchDir scratch;
    write_file(scratch / "in/a\\b", "x");
    expect_pack_refused(scratch, {}, "a\\b", "backslash");
}

TEST(PackRefuses, LinksLeavingTheDirectoryAndFilesItCannotRead) {
    const struct {
        const char* link;
        const char* target;
        const char* reason;
    } cases[] = {
        {"out", "/etc/hostname", "leads out of the directory"},
        {"sub/up", "../../secret.txt", "leads out of the directory"},
        {"loop", ".", "symbolic link to a directory"},
        {"gone", "nowhere.txt", "No such file or directory"},
    };
    for (const auto& c : cases) {
        ScratchDir scratch;
        write_file(scratch / "secret.txt", "secret");
        write_file(scratch / "in/sub/fine.txt", "fine");
        fs::create_symlink(c.target, scratch / ("in/" + std::string(c.link)));
        expect_pack_refused(scratch, {}, c.link, c.reason);
    }
    ScratchDir scratch;
    fs::create_directories(scratch / "in");
    ASSERT_EQ(0, mkfifo((scratch / "in/pipe").c_str(), 0600));
    expect_pack_refused(scratch, {}, "pipe", "neither a regular file nor a directory");
}

TEST(PackRefuses, LinkInsideTheDirectoryIsPackedAsItsTarget) {
    ScratchDir scratch;
    write_file(scratch / "in/real.txt", "content");
    fs::create_symlink("real.txt", scratch / "in/alias.txt");
    ASSERT_EQ(0, run({"pack", scratch / "in", "-o", scratch / "p.bin"}).code);
    ASSERT_EQ(0, run({"extract", scratch / "p.bin", "-d", scratch / "out"}).code);
    EXPECT_EQ("content", read_file(scratch / "out/alias.txt"));
    EXPECT_FALSE(fs::is_symlink(scratch / "out/alias.txt"));
}

TEST(PackRefuses, NamesThatMeetWhenCaseIsIgnored) {
    {
        ScratchDir scratch;
        write_file(scratch / "in/README.TXT", "1");
        write_file(scratch / "in/Readme.txt", "2");
        expect_pack_refused(scratch, {}, "Readme.txt", "differs only in case from README.TXT");
    }
    ScratchDir scratch;
    write_file(scratch / "in/DOCS/x", "1");
    write_file(scratch / "in/docs", "2");
    expect_pack_refused(scratch, {}, "DOCS/x", "its directory is the file docs");
}

TEST(PackRefuses, ListedPathsThatAreUnsafeMissingOrTwice) {
    const struct {
        const char* line;
        const char* shown;
        const char* reason;
    } cases[] = {
        {"../secret.txt", "../secret.txt", describe_entry_name_problem(kNameBadComponent)},
        {"sub\\..\\..\\secret.txt", "sub/../../secret.txt", describe_entry_name_problem(kNameBadComponent)},
        {"/etc/hostname", "/etc/hostname", describe_entry_name_problem(kNameAbsolute)},
        {"C:\\x", "C:/x", describe_entry_name_problem(kNameColon)},
        {"missing.txt", "missing.txt", "No such file or directory"},
        {"sub", "sub", "not a regular file"},
        {"sub/link", "sub/link", "leads out of the directory"},
        {"fine.txt\nFINE.TXT", "FINE.TXT", "differs only in case"},
        {"fine.txt\nfine.txt", "fine.txt", "named twice"},
    };
    for (const auto& c : cases) {
        ScratchDir scratch;
        write_file(scratch / "secret.txt", "secret");
        write_file(scratch / "in/fine.txt", "fine");
        write_file(scratch / "in/FINE.TXT", "FINE");
        fs::create_directories(scratch / "in/sub");
        fs::create_symlink("../../secret.txt", scratch / "in/sub/link");
        write_file(scratch / "list", c.line);
        expect_pack_refused(scratch, {"--list", scratch / "list"}, c.shown, c.reason);
    }
}

TEST(PackRefuses, FileOf4GiBBeforeReadingIt) {
    ScratchDir scratch;
    write_file(scratch / "in/small", "s");
    write_file(scratch / "in/huge", "");
    ASSERT_EQ(0, truncate((scratch / "in/huge").c_str(), 0x100000000ll));
    expect_pack_refused(scratch, {}, "huge", "4 GiB or larger");
}

TEST(PackRefuses, FailedWriteKeepsTheOldOutputAndLeavesNoTemporaryFile) {
    ScratchDir scratch;
    write_file(scratch / "in/a.txt", "a");
    write_file(scratch / "out/p.bin", "old");
    write_file(scratch / "in/nul.txt", "");
    EXPECT_EQ(2, run({"pack", scratch / "in", "-o", scratch / "out/p.bin"}).code);
    EXPECT_EQ("old", read_file(scratch / "out/p.bin"));
    fs::remove(scratch / "in/nul.txt");
    fs::create_directories(scratch / "out/taken/by");
    const ToolRun result = run({"pack", scratch / "in", "-o", scratch / "out/taken"});
    EXPECT_EQ(1, result.code);
    EXPECT_EQ(0u, result.err.find("tonvaro-pack: cannot write ")) << result.err;
    EXPECT_EQ((Tree{{"p.bin", "old"}, {"taken/", ""}, {"taken/by/", ""}}),
              snapshot(scratch / "out"));

    // The disk fills up halfway through the archive while workers wait for
    // room; in a child, whose file size limit stands for the full disk.
    write_file(scratch / "in/big.bin", random_bytes(3 << 20));
    for (const char* name : {"c", "d", "e", "f", "g"}) write_file(scratch / ("in/" + std::string(name)), name);
    EXPECT_EQ(1, with_full_disk(1 << 20, scratch / "err", [&](FILE* err) {
        return pack_directory((scratch / "in").c_str(), (scratch / "out/p.bin").c_str(), nullptr, 7, 0, kLevelDefault, err);
    }));
    EXPECT_EQ(0u, read_file(scratch / "err").find("tonvaro-pack: cannot write " + scratch / "out/p.bin: ")) << read_file(scratch / "err");
    EXPECT_EQ((Tree{{"p.bin", "old"}, {"taken/", ""}, {"taken/by/", ""}}),
              snapshot(scratch / "out"));
}

TEST(ExtractRefuses, UnsafeNamesBeforeWritingAnything) {
    for (const char* name : {"..\\evil", "C:\\x", "\\\\server\\x", "a\\CON.txt", "/evil",
                             "a/../../evil", "a\\b?"}) {
        ScratchDir scratch;
        write_bytes(scratch / "p.bin", hand_archive(2, {hand_entry("first.txt", "1"), hand_entry(name, "evil")}));
        const ToolRun extract = run({"extract", scratch / "p.bin", "-d", scratch / "dest/in"});
        EXPECT_EQ(2, extract.code) << name;
        EXPECT_EQ(0u, extract.err.find(std::string("tonvaro-pack: entry ") + name + ": ")) << extract.err;
        EXPECT_EQ(Tree(), snapshot(scratch / "dest")) << name;
        EXPECT_EQ(1, run({"verify", scratch / "p.bin"}).code) << name;
    }
}

TEST(ExtractRefuses, LinksAlreadyInTheDestinationAreNeverWrittenThrough) {
    ScratchDir scratch;
    write_file(scratch / "outside/victim.txt", "keep");
    write_file(scratch / "outside/hard.txt", "keep");
    fs::create_directories(scratch / "dest");
    fs::create_directory_symlink(scratch / "outside", scratch / "dest/link");
    fs::create_symlink(scratch / "outside/victim.txt", scratch / "dest/f.txt");
    fs::create_hard_link(scratch / "outside/hard.txt", scratch / "dest/h.txt");
    // A linked directory on the way is refused.
    write_bytes(scratch / "p.bin", hand_archive(2, {hand_entry("link\\f.txt", "evil"), hand_entry("later.txt", "")}));
    const ToolRun through_directory = run({"extract", scratch / "p.bin", "-d", scratch / "dest"});
    EXPECT_EQ(1, through_directory.code);
    EXPECT_EQ(0u, through_directory.err.find("tonvaro-pack: entry link\\f.txt: cannot ")) << through_directory.err;
    EXPECT_FALSE(fs::exists(scratch / "dest/later.txt"));
    // A linked file is replaced by the entry's own file.
    for (const char* name : {"f.txt", "h.txt"}) {
        write_bytes(scratch / "p.bin", hand_archive(1, {hand_entry(name, "new")}));
        EXPECT_EQ(0, run({"extract", scratch / "p.bin", "-d", scratch / "dest"}).code) << name;
        EXPECT_FALSE(fs::is_symlink(scratch / (std::string("dest/") + name))) << name;
        EXPECT_EQ("new", read_file(scratch / (std::string("dest/") + name))) << name;
    }
    EXPECT_EQ((Tree{{"hard.txt", "keep"}, {"victim.txt", "keep"}}), snapshot(scratch / "outside"));
}

TEST(ExtractRefuses, AFullDiskStopsAtTheFileItCutShort) {
    ScratchDir scratch;
    write_bytes(scratch / "p.bin", hand_archive(3, {hand_entry("small.txt", "small"), hand_entry("big.bin", random_bytes(5 << 19)),
                                                    hand_entry("later.txt", "later")}));
    // In a child, whose file size limit stands for the full disk; the last
    // piece fails, when the next entry is likely queued already.
    EXPECT_EQ(1, with_full_disk(2 << 20, scratch / "err", [&](FILE* err) {
        return extract_archive((scratch / "p.bin").c_str(), (scratch / "dest").c_str(), err);
    }));
    EXPECT_EQ("tonvaro-pack: entry big.bin: cannot write: " + std::string(strerror(EFBIG)) + "\n", read_file(scratch / "err"));
    EXPECT_EQ((Tree{{"small.txt", "small"}}), snapshot(scratch / "dest"));
}

TEST(PackRefuses, AnOutputInsideTheTree) {
    ScratchDir scratch;
    write_file(scratch / "product/a.txt", "a");
    const ToolRun packed = run({"pack", scratch / "product", "-o", scratch / "product/p.bin"});
    EXPECT_EQ(2, packed.code);
    EXPECT_NE(std::string::npos, packed.err.find("inside")) << packed.err;
    EXPECT_FALSE(fs::exists(scratch / "product/p.bin"));
}

TEST(DamagedArchive, EveryReaderStopsWithExitOne) {
    HandEntry damaged = hand_entry("bad.txt", "hello hello hello");
    damaged.stream[2] = 0xFF;  // a final block of the reserved type
    HandEntry cut = hand_entry("bad.txt", random_bytes(3000));
    cut.stream.resize(cut.stream.size() / 2);
    cut.length = static_cast<unsigned>(cut.stream.size());
    HandEntry wrong_crc = hand_entry("bad.txt", "content");
    wrong_crc.crc ^= 1;
    HandEntry too_long = hand_entry("bad.txt", "content");
    too_long.length += 1;
    Bytes bad_archive_crc = hand_archive(1, {hand_entry("ok.txt", "fine")});
    bad_archive_crc.back() ^= 1;
    Bytes trailing = hand_archive(1, {hand_entry("ok.txt", "fine"), HandEntry{"", 0, 0, {}}});
    // Either half of a CRC taken in two halves.
    Bytes big_bad_head = hand_archive(1, {hand_entry("big.bin", random_bytes(9 << 20))});
    Bytes big_bad_tail = big_bad_head;
    big_bad_head[100] ^= 1;
    big_bad_tail[big_bad_tail.size() - 100] ^= 1;
    const HandEntry later = hand_entry("later.txt", "after the damage");
    const struct {
        Bytes archive;
        const char* message;
    } cases[] = {
        {hand_archive(3, {hand_entry("ok.txt", "fine"), damaged, later}), "entry bad.txt: the compressed data is damaged"},
        {hand_archive(3, {hand_entry("ok.txt", "fine"), cut, later}), "entry bad.txt: the compressed data is damaged"},
        {hand_archive(3, {hand_entry("ok.txt", "fine"), wrong_crc, later}), "entry bad.txt: the content CRC does not match"},
        {hand_archive(2, {hand_entry("ok.txt", "fine"), too_long}), "entry 2 of 2 runs past the end"},
        {hand_archive(3, {hand_entry("ok.txt", "fine")}), "entry 2 of 3 runs past the end"},
        {trailing, "9 bytes follow the last entry"},
        {bad_archive_crc, "the archive CRC does not match"},
        {big_bad_head, "the archive CRC does not match"},
        {big_bad_tail, "the archive CRC does not match"},
        {Bytes(7, 0), "too short for an archive"},
    };
    for (const auto& c : cases) {
        ScratchDir scratch;
        write_bytes(scratch / "p.bin", c.archive);
        for (const char* verb : {"verify", "list", "extract"}) {
            std::vector<std::string> arguments = {verb, scratch / "p.bin"};
            if (verb[0] == 'e') arguments.insert(arguments.end(), {"-d", scratch / "dest"});
            const ToolRun result = run(arguments);
            EXPECT_EQ(1, result.code) << verb << " " << c.message;
            EXPECT_NE(std::string::npos, result.err.find(c.message)) << verb << ": " << result.err;
        }
        // A damaged file is removed rather than left to pass for a whole one,
        // and nothing after it is written.
        EXPECT_FALSE(fs::exists(scratch / "dest/bad.txt")) << c.message;
        EXPECT_FALSE(fs::exists(scratch / "dest/later.txt")) << c.message;
    }
}

TEST(DamagedArchive, EveryCutWithARecomputedCrcIsRefused) {
    const Bytes whole = hand_archive(2, {hand_entry("a\\one.txt", "one one one"), hand_entry("two.txt", "two")});
    ScratchDir scratch;
    for (size_t size = 0; size < whole.size(); ++size) {
        Bytes cut(whole.begin(), whole.begin() + size);
        if (size >= 8) write_u32le(cut.data(), payload_crc(cut.data(), cut.size()));
        write_bytes(scratch / "p.bin", cut);
        EXPECT_EQ(1, run({"verify", scratch / "p.bin"}).code) << size;
    }
}

}  // namespace
