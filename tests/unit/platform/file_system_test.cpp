// Tests of status by name, attributes, directories, moves, listings,
// temporary names and the current directory, including paths written with
// '\' and Shift JIS names whose second byte is 0x5C.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/platform.h"
#include "support/code_page.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace tovra::platform {
namespace {

std::set<std::string> Listing(const std::string& pattern) {
    std::set<std::string> names;
    DirectoryFinder finder;
    FindData entry;
    for (bool more = finder.FindFirst(pattern, &entry); more; more = finder.FindNext(&entry)) names.insert(entry.name);
    return names;
}

TEST(FileSystemTest, StatusAndAttributesOfFilesAndDirectories) {
    test::ScratchDir dir;
    const std::string file = dir / "plain.txt";
    ASSERT_TRUE(test::WriteWholeFile(file, "12345"));
    FileStatus status;
    ASSERT_TRUE(GetFileStatus(file, &status));
    EXPECT_TRUE(status.exists);
    EXPECT_FALSE(status.isDirectory);
    EXPECT_EQ(status.size, 5u);
    EXPECT_EQ(status.linkCount, 1u);
    EXPECT_EQ(status.mode & 0xF000, 0x8000u);
    EXPECT_EQ(status.attributes & (kAttrDirectory | kAttrReadOnly | kAttrHidden | kAttrSystem), 0u);
    EXPECT_EQ(GetAttributes(file) & kAttrArchive, kAttrArchive);

    ASSERT_TRUE(GetFileStatus(dir.Path(), &status));
    EXPECT_TRUE(status.isDirectory);
    EXPECT_EQ(status.mode & 0xF000, 0x4000u);
    EXPECT_EQ(GetAttributes(dir.Path()) & kAttrDirectory, kAttrDirectory);
    EXPECT_TRUE(IsDirectory(dir.Path()));
    EXPECT_FALSE(IsDirectory(file));

    const std::string missing = dir / "missing";
    status.exists = true;
    EXPECT_FALSE(GetFileStatus(missing, &status));
    EXPECT_FALSE(status.exists);
    EXPECT_FALSE(FileExists(missing));
    EXPECT_EQ(GetAttributes(missing), -1);
    EXPECT_FALSE(SetAttributes(missing, kAttrNormal));
}

TEST(FileSystemTest, ReadOnlyAndHiddenAttributes) {
    test::ScratchDir dir;
    const std::string file = dir / "f.txt";
    ASSERT_TRUE(test::WriteWholeFile(file, "x"));
    ASSERT_TRUE(SetAttributes(file, kAttrReadOnly | kAttrArchive));
    EXPECT_EQ(GetAttributes(file) & kAttrReadOnly, kAttrReadOnly);
    ASSERT_TRUE(SetAttributes(file, kAttrArchive));
    EXPECT_EQ(GetAttributes(file) & kAttrReadOnly, 0);
#ifndef _WIN32
    // Read-only is the owner's write permission, and clearing it gives only that back.
    struct stat native;
    ASSERT_TRUE(SetAttributes(file, kAttrReadOnly));
    ASSERT_EQ(stat(file.c_str(), &native), 0);
    EXPECT_EQ(native.st_mode & 0222, 0u);
    ASSERT_TRUE(SetAttributes(file, 0));
    ASSERT_EQ(stat(file.c_str(), &native), 0);
    EXPECT_EQ(native.st_mode & 0200, 0200u);

    // Hidden is a leading dot of the last component; "." and ".." are not hidden.
    const std::string hidden = dir / ".secret";
    ASSERT_TRUE(test::WriteWholeFile(hidden, "x"));
    EXPECT_EQ(GetAttributes(hidden) & kAttrHidden, kAttrHidden);
    ASSERT_TRUE(MakeDirectory(dir / ".cache"));
    EXPECT_EQ(GetAttributes(dir / ".cache\\") & (kAttrHidden | kAttrDirectory), kAttrHidden | kAttrDirectory);
    EXPECT_EQ(GetAttributes(dir / ".") & kAttrHidden, 0);
    EXPECT_EQ(GetAttributes(dir / "..") & kAttrHidden, 0);
#endif
}

TEST(FileSystemTest, DirectoriesAreCreatedRemovedAndNeverDeletedAsFiles) {
    test::ScratchDir dir;
    const std::string sub = dir / "sub";
    ASSERT_TRUE(MakeDirectory(sub));
    EXPECT_FALSE(MakeDirectory(sub));  // already there
    EXPECT_FALSE(DeletePath(sub));
    ASSERT_TRUE(test::WriteWholeFile(sub + "/inner", ""));
    EXPECT_FALSE(RemoveEmptyDirectory(sub));
    ASSERT_TRUE(DeletePath(sub + "\\inner"));
    EXPECT_TRUE(RemoveEmptyDirectory(sub));
    EXPECT_FALSE(FileExists(sub));
}

#ifndef _WIN32
// Names as the directory really holds them, byte for byte.
std::set<std::string> RawNames(const std::string& path) {
    std::set<std::string> names;
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr) return names;
    while (dirent* entry = readdir(directory)) {
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.insert(entry->d_name);
    }
    closedir(directory);
    return names;
}

TEST(FileSystemTest, BackslashPathsWorkNatively) {
    test::ScopedCodePage utf8(65001);
    test::ScratchDir dir;
    ASSERT_TRUE(MakeDirectory(dir.Path() + "\\a"));
    ASSERT_TRUE(MakeDirectory(dir.Path() + "\\a\\b"));
    ASSERT_TRUE(test::WriteWholeFile(dir.Path() + "\\a\\b\\c.txt", "deep"));
    EXPECT_EQ(RawNames(dir.Path()), (std::set<std::string>{"a"}));
    EXPECT_EQ(test::ReadWholeFile(dir.Path() + "/a/b/c.txt"), "deep");
    EXPECT_EQ(Listing(dir.Path() + "\\a\\b\\*"), (std::set<std::string>{".", "..", "c.txt"}));
}

#endif

// The names a directory holds, byte for byte ("." and ".." left out).
std::set<std::string> EntryNames(const std::string& path) {
#ifndef _WIN32
    return RawNames(path);
#else
    std::set<std::string> names = Listing(path + "\\*");
    names.erase(".");
    names.erase("..");
    return names;
#endif
}

TEST(FileSystemTest, ShiftJisNameWithBackslashSecondByteStaysOneComponent) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "the ANSI code page is not 932";  // natively always possible
    test::ScratchDir dir;
    const std::string hyo = "\x95\x5C";         // U+8868: second byte is '\'
    const std::string name = hyo + "\x8E\xA6";  // U+8868 U+793A
    ASSERT_TRUE(MakeDirectory(dir.Path() + "\\" + name));
    ASSERT_TRUE(test::WriteWholeFile(dir.Path() + "\\" + name + "\\" + hyo, "sjis"));
    EXPECT_EQ(EntryNames(dir.Path()), (std::set<std::string>{name}));
    EXPECT_EQ(EntryNames(dir.Path() + "/" + name), (std::set<std::string>{hyo}));
    EXPECT_EQ(test::ReadWholeFile(dir / (name + "\\" + hyo)), "sjis");
    EXPECT_TRUE(IsDirectory(dir.Path() + "\\" + name + "\\"));
    EXPECT_EQ(Listing(dir.Path() + "\\" + name + "\\*"), (std::set<std::string>{".", "..", hyo}));
    // A path that ends in such a character names a file, not a directory.
    ASSERT_TRUE(test::WriteWholeFile(dir.Path() + "\\" + hyo, ""));
    EXPECT_EQ(EntryNames(dir.Path()), (std::set<std::string>{name, hyo}));

    // The same bytes read as UTF-8 make 0x5C a separator again.
    test::ScopedCodePage utf8(65001);
    if (utf8.Active()) {
        EXPECT_FALSE(MakeDirectory(dir.Path() + "\\x\x95\\y"));  // no parent "x\x95"
    }
}

TEST(FileSystemTest, MoveHonoursReplaceExisting) {
    test::ScratchDir dir;
    const std::string a = dir / "a", b = dir / "b";
    ASSERT_TRUE(test::WriteWholeFile(a, "first"));
    ASSERT_TRUE(test::WriteWholeFile(b, "second"));
    EXPECT_FALSE(MovePath(a, b, false, true));
    EXPECT_EQ(test::ReadWholeFile(b), "second");
    EXPECT_TRUE(MovePath(a, b, true, true));
    EXPECT_FALSE(FileExists(a));
    EXPECT_EQ(test::ReadWholeFile(b), "first");
    EXPECT_TRUE(MovePath(b, dir / "c", false, false));
    EXPECT_EQ(test::ReadWholeFile(dir / "c"), "first");
    EXPECT_FALSE(MovePath(dir / "nothing", dir / "d", true, true));
    // A read-only target is not replaced.
    ASSERT_TRUE(test::WriteWholeFile(a, "new"));
    ASSERT_TRUE(SetAttributes(dir / "c", kAttrReadOnly));
    EXPECT_FALSE(MovePath(a, dir / "c", true, true));
    EXPECT_EQ(test::ReadWholeFile(dir / "c"), "first");
}

#ifndef _WIN32
std::string LastName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

TEST(FileSystemTest, MoveAcrossFileSystemsCopiesOnlyWhenAllowed) {
    test::ScratchDir dir;
    struct stat scratch, shm;
    if (stat("/dev/shm", &shm) != 0 || stat(dir.Path().c_str(), &scratch) != 0 || shm.st_dev == scratch.st_dev) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    const std::string source = "/dev/shm/tovra-move-" + LastName(dir.Path());
    const std::string bytes = test::PatternBytes(200'000, 3);
    ASSERT_TRUE(test::WriteWholeFile(source, bytes));
    ASSERT_TRUE(SetModificationTime(source, 1'234'567'890));
    EXPECT_FALSE(MovePath(source, dir / "moved", false, false));
    EXPECT_TRUE(FileExists(source));
    EXPECT_FALSE(FileExists(dir / "moved"));
    ASSERT_TRUE(MovePath(source, dir / "moved", false, true));
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ(test::ReadWholeFile(dir / "moved"), bytes);
    FileStatus status;
    ASSERT_TRUE(GetFileStatus(dir / "moved", &status));
    EXPECT_EQ(status.modificationTime, 1'234'567'890);
}
#endif

TEST(FileSystemTest, ListingYieldsEveryEntryWithItsStatus) {
    test::ScratchDir dir;
    ASSERT_TRUE(test::WriteWholeFile(dir / "one.txt", "1"));
    ASSERT_TRUE(test::WriteWholeFile(dir / "two", "22"));
    ASSERT_TRUE(MakeDirectory(dir / "sub"));
    EXPECT_EQ(Listing(dir / "*"), (std::set<std::string>{".", "..", "one.txt", "two", "sub"}));
    EXPECT_EQ(Listing(dir / "*.*"), (std::set<std::string>{".", "..", "one.txt", "two", "sub"}));
    DirectoryFinder finder;
    FindData entry;
    for (bool more = finder.FindFirst(dir.WithSeparator() + "*", &entry); more; more = finder.FindNext(&entry)) {
        if (entry.name == "two") {
            EXPECT_EQ(entry.status.size, 2u);
        } else if (entry.name == "sub") {
            EXPECT_TRUE(entry.status.isDirectory);
        }
    }
    finder.Close();
    EXPECT_FALSE(finder.FindNext(&entry));
    EXPECT_FALSE(finder.FindFirst(dir / "missing\\*", &entry));
}

TEST(FileSystemTest, UniqueTempFilesAreCreatedWithThePrefix) {
    const std::string temp = TempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(temp.back() == '/' || temp.back() == '\\');
    EXPECT_TRUE(IsDirectory(temp));

    std::set<std::string> made;
    for (int i = 0; i < 20; ++i) {
        const std::string path = CreateUniqueTempFile(temp, "TVR");
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(path.compare(0, temp.size(), temp), 0) << path;
        const std::string name = path.substr(temp.size());
        // "TVR", hexadecimal digits, ".tmp" (Windows leaves the case of both to the system).
        ASSERT_GE(name.size(), 8u) << name;
        EXPECT_EQ(name.substr(0, 3), "TVR");
        std::string suffix = name.substr(name.size() - 4);
        std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_EQ(suffix, ".tmp");
        for (char c : name.substr(3, name.size() - 7))
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c))) << name;
        FileStatus status;
        ASSERT_TRUE(GetFileStatus(path, &status));
        EXPECT_EQ(status.size, 0u);
        made.insert(path);
    }
    EXPECT_EQ(made.size(), 20u);
    for (const std::string& path : made) EXPECT_TRUE(DeletePath(path));

    test::ScratchDir dir;
    const std::string inside = CreateUniqueTempFile(dir.Path(), "TVR");
    EXPECT_EQ(inside.compare(0, dir.Path().size() + 1, dir.WithSeparator()), 0) << inside;
#ifndef _WIN32
    // Usual permissions, not private ones: a temporary archive takes the place of the real one.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat native;
    ASSERT_EQ(stat(inside.c_str(), &native), 0);
    EXPECT_EQ(native.st_mode & 0777, 0666u & ~mask);
#endif
    EXPECT_EQ(CreateUniqueTempFile(dir / "missing", "TVR"), "");
}

TEST(FileSystemTest, CurrentDirectoryFollowsBackslashPaths) {
    const std::string saved = GetCurrentDir();
    ASSERT_FALSE(saved.empty());
    test::ScratchDir dir;
    ASSERT_TRUE(MakeDirectory(dir / "inner"));
    ASSERT_TRUE(SetCurrentDir(dir.Path() + "\\inner"));
    const std::string now = GetCurrentDir();
    EXPECT_EQ(now.substr(now.size() - 5), "inner");
    ASSERT_TRUE(test::WriteWholeFile("relative.txt", "here"));
    EXPECT_TRUE(FileExists(dir / "inner/relative.txt"));
    EXPECT_FALSE(SetCurrentDir(dir / "missing"));
    ASSERT_TRUE(SetCurrentDir(saved));
    EXPECT_EQ(GetCurrentDir(), saved);
    EXPECT_GE(MaxComponentLength(dir.Path()), 200u);
    EXPECT_GE(MaxComponentLength(dir / "not-yet\\there"), 200u);
}

TEST(PathText, EndsInSeparatorStepsWholeCharacters) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    const struct {
        const char* path;
        bool ends;
    } cases[] = {
        {"", false},         {"a\\", true}, {"a/", true}, {"a", false}, {"a\\\x95\x5C", false}, {"a\\\x83\x5C\\", true},
        {"\x95\x5C", false}, {"\\", true},
    };
    for (const auto& c : cases) EXPECT_EQ(EndsInSeparator(c.path), c.ends) << c.path;
}

// Relative paths are joined to the current directory once, with one
// separator, and nothing else of the text changes; absolute ones stay.
TEST(PathText, AbsolutePathResolvesOnlyWhatDependsOnTheCurrentDirectory) {
    test::ScratchDir dir;
    const std::string caller = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(dir.Path()));
    const std::string current = GetCurrentDir();
    const std::string withSeparator =
        EndsInSeparator(current) ? current : current + (current.find('/') == 0 ? "/" : "\\");
    EXPECT_EQ(AbsolutePath(""), withSeparator);
    EXPECT_EQ(AbsolutePath("out"), withSeparator + "out");
    EXPECT_EQ(AbsolutePath("a\\..\\b\\"), withSeparator + "a\\..\\b\\");
    EXPECT_EQ(AbsolutePath(dir / "x"), dir / "x");
#ifdef _WIN32
    EXPECT_EQ(AbsolutePath("\\\\server\\share\\x"), "\\\\server\\share\\x");
    EXPECT_EQ(AbsolutePath("\\x"), current.substr(0, 2) + "\\x");
    EXPECT_EQ(AbsolutePath(current.substr(0, 2) + "x"), withSeparator + "x");  // this drive's current directory
#else
    EXPECT_EQ(AbsolutePath("C:x"), withSeparator + "C:x");  // no drives here
#endif
    SetCurrentDir(caller);
}

}  // namespace
}  // namespace tovra::platform
