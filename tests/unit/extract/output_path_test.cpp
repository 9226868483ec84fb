// output_path_test.cpp - where member names land on disk: the ordinary
// mapping with and without kept paths, and the containment rule for hostile
// names (nothing may be created outside the output directory, with either
// separator, a drive or server prefix, or dot components).
#include "extract/output_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "extract/Cunzip.h"
#include "platform/platform.h"
#include "support/code_page.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"

namespace tovra::extract {
namespace {

struct Expected {
    const char* name;
    MappedKind kind;
    const char* path;
    const char* directories;
    bool unsafe;
};

void ExpectMapping(const Expected& e, bool keepPaths) {
    SCOPED_TRACE(std::string(e.name) + (keepPaths ? " (j)" : ""));
    const MappedName m = MapMemberName(e.name, keepPaths);
    EXPECT_EQ(m.kind, e.kind);
    EXPECT_EQ(m.path, e.path);
    EXPECT_EQ(m.directories, e.directories);
    EXPECT_EQ(m.unsafe, e.unsafe);
}

TEST(OutputPathMapping, OrdinaryNames) {
    const Expected dropped[] = {
        {"c.txt", MappedKind::kFile, "c.txt", "", false},  {"a/b/c.txt", MappedKind::kFile, "c.txt", "", false},
        {"/c.txt", MappedKind::kFile, "c.txt", "", false}, {"./a/c.txt", MappedKind::kFile, "c.txt", "", false},
        {"a/", MappedKind::kDirectory, "", "", false},
    };
    for (const Expected& e : dropped) ExpectMapping(e, false);
    const Expected kept[] = {
        {"c.txt", MappedKind::kFile, "c.txt", "", false},
        {"a/b/c.txt", MappedKind::kFile, "a/b/c.txt", "a/b/", false},
        {"/a/c.txt", MappedKind::kFile, "a/c.txt", "a/", false},
        {"a//b/./c.txt", MappedKind::kFile, "a/b/c.txt", "a/b/", false},
        {"a\\b\\c.txt", MappedKind::kFile, "a/b/c.txt", "a/b/", false},
        {"a/b/", MappedKind::kDirectory, "a/b/", "a/b/", false},
        {"file...txt", MappedKind::kFile, "file...txt", "", false},
    };
    for (const Expected& e : kept) ExpectMapping(e, true);
}

TEST(OutputPathMapping, HostileNamesAreContained) {
    const Expected kept[] = {
        {"../../x", MappedKind::kFile, "x", "", true},
        {"a/../../x", MappedKind::kFile, "a/x", "a/", true},
        {"//x", MappedKind::kFile, "x", "", true},
        {"C:x", MappedKind::kFile, "x", "", true},
        {"C:\\x", MappedKind::kFile, "x", "", true},
        {"C:/d/x", MappedKind::kFile, "d/x", "d/", true},
        {"\\\\server\\share\\x", MappedKind::kFile, "x", "", true},
        {"\\\\server\\share\\d\\x", MappedKind::kFile, "d/x", "d/", true},
        {"..\\..\\x", MappedKind::kFile, "x", "", true},
        {"\\x", MappedKind::kFile, "x", "", true},
        {"a/. ./x", MappedKind::kFile, "a/x", "a/", true},
        {"a/.../x", MappedKind::kFile, "a/x", "a/", true},
        {"../C:x", MappedKind::kFile, "x", "", true},
        {"../", MappedKind::kNothing, "", "", true},
        {"..", MappedKind::kNothing, "", "", true},
        {"C:", MappedKind::kNothing, "", "", true},
        {"\\\\server\\share\\", MappedKind::kNothing, "", "", true},
        {"../d/", MappedKind::kDirectory, "d/", "d/", true},
    };
    for (const Expected& e : kept) ExpectMapping(e, true);
    const Expected dropped[] = {
        {"../../x", MappedKind::kFile, "x", "", true},   {"a/../../x", MappedKind::kFile, "x", "", true},
        {"//x", MappedKind::kFile, "x", "", true},       {"C:x", MappedKind::kFile, "x", "", true},
        {"C:\\x", MappedKind::kFile, "x", "", true},     {"\\\\server\\share\\x", MappedKind::kFile, "x", "", true},
        {"..\\..\\x", MappedKind::kFile, "x", "", true}, {"..", MappedKind::kNothing, "", "", true},
    };
    for (const Expected& e : dropped) ExpectMapping(e, false);
}

TEST(OutputPathMapping, ShiftJisTrailByteIsNotASeparator) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    // 0x95 0x5C is one character; its second byte is '\'.
    const std::string name = "d\x95\x5C/f\x95\x5C.txt";
    const MappedName kept = MapMemberName(name.c_str(), true);
    EXPECT_EQ(kept.kind, MappedKind::kFile);
    EXPECT_EQ(kept.path, name);
    EXPECT_EQ(kept.directories, "d\x95\x5C/");
    EXPECT_FALSE(kept.unsafe);
    EXPECT_EQ(MapMemberName(name.c_str(), false).path, "f\x95\x5C.txt");
}

// Windows opens a device for CON, NUL, COM1, ... whatever extension or
// directory they stand in; there such a component gets a '_' in front and the
// run warns. Elsewhere they are ordinary names.
TEST(OutputPathMapping, DeviceNamesNeverReachTheSystemOnWindows) {
    for (const char* device : {"con", "NUL.txt", "Aux.tar.gz", "com1", "lpt9.log", "prn ", "con."}) {
        EXPECT_TRUE(platform::IsWindowsDeviceName(device)) << device;
    }
    for (const char* plain : {"console", "com0", "com10", "lpt", "nul_", "xcon", "", "."}) {
        EXPECT_FALSE(platform::IsWindowsDeviceName(plain)) << plain;
    }
    const MappedName kept = MapMemberName("nul.txt/d/CON", true);
    const MappedName dropped = MapMemberName("d/com1.log", false);
#ifdef _WIN32
    EXPECT_EQ(kept.path, "_nul.txt/d/_CON");
    EXPECT_EQ(kept.directories, "_nul.txt/d/");
    EXPECT_TRUE(kept.unsafe);
    EXPECT_EQ(dropped.path, "_com1.log");
    EXPECT_TRUE(dropped.unsafe);
#else
    EXPECT_EQ(kept.path, "nul.txt/d/CON");
    EXPECT_FALSE(kept.unsafe);
    EXPECT_EQ(dropped.path, "com1.log");
    EXPECT_FALSE(dropped.unsafe);
#endif
}

// MapOutputPath on a real directory: each hostile name, with and without j,
// either lands inside the output directory or is skipped, always with a
// warning, and nothing appears beside the output directory.
class OutputPathOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        outputDirectory = scratch / "out/";
        ASSERT_TRUE(platform::MakeDirectory(scratch / "out"));
        context.AllocateRunBuffers();
        context.outputDirectory = outputDirectory;
    }
    int Map(const std::string& name, bool keepPaths) {
        std::snprintf(context.nameBuffer, kNameBufferSize, "%s", name.c_str());
        context.options.keepPaths = keepPaths ? 1 : 0;
        return context.MapOutputPath();
    }
    // True when the scratch directory holds nothing but "out".
    bool NothingBesideOutput() {
        platform::DirectoryFinder finder;
        platform::FindData data;
        bool onlyOut = true;
        for (bool more = finder.FindFirst(scratch / "*", &data); more; more = finder.FindNext(&data)) {
            if (data.name != "." && data.name != ".." && data.name != "out") onlyOut = false;
        }
        return onlyOut;
    }

    test::ScratchDir scratch;
    test::ScriptedUiHost ui;
    Cunzip context;
    std::string outputDirectory;
};

TEST_F(OutputPathOnDisk, HostileNamesStayInside) {
    const char* names[] = {"../../x", "a/../../x", "//x", "C:x", "C:\\x", "\\\\server\\share\\x", "..\\..\\x"};
    for (bool keepPaths : {false, true}) {
        for (const char* name : names) {
            SCOPED_TRACE(std::string(name) + (keepPaths ? " (j)" : ""));
            ui.messages.clear();
            ASSERT_EQ(Map(name, keepPaths), Cunzip::kMapGoOn);
            EXPECT_EQ(context.nameWarning, 1);
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::kExclamation);
            // The mapped path starts with the output directory and has no
            // ".." left in it.
            ASSERT_EQ(context.outputPath.compare(0, outputDirectory.size(), outputDirectory), 0) << context.outputPath;
            EXPECT_EQ(context.outputPath.find(".."), std::string::npos) << context.outputPath;
            EXPECT_EQ(context.outputPath.find('\\', outputDirectory.size()), std::string::npos);
        }
    }
    EXPECT_TRUE(NothingBesideOutput());
}

TEST_F(OutputPathOnDisk, NameWithNothingLeftIsSkippedWithWarning) {
    for (bool keepPaths : {false, true}) {
        ui.messages.clear();
        EXPECT_EQ(Map("../..", keepPaths), Cunzip::kMapNothingLeft);
        EXPECT_EQ(context.nameWarning, 1);
        EXPECT_EQ(ui.messages.size(), 1u);
    }
    EXPECT_TRUE(NothingBesideOutput());
}

TEST_F(OutputPathOnDisk, DirectoriesAreCreatedOnlyWithKeptPaths) {
    EXPECT_EQ(Map("a/b/c.txt", false), Cunzip::kMapGoOn);
    EXPECT_EQ(context.outputPath, outputDirectory + "c.txt");
    EXPECT_FALSE(platform::IsDirectory(outputDirectory + "a"));
    EXPECT_EQ(Map("a/b/c.txt", true), Cunzip::kMapGoOn);
    EXPECT_EQ(context.outputPath, outputDirectory + "a/b/c.txt");
    EXPECT_TRUE(platform::IsDirectory(outputDirectory + "a/b"));
    EXPECT_EQ(Map("d/e/", true), Cunzip::kMapDirectoryEntry);
    EXPECT_TRUE(platform::IsDirectory(outputDirectory + "d/e"));
    EXPECT_EQ(Map("f/", false), Cunzip::kMapDirectoryEntry);
    EXPECT_FALSE(platform::IsDirectory(outputDirectory + "f"));
    EXPECT_EQ(context.nameWarning, 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(OutputPathOnDisk, DirectoryBlockedByAFileIsReported) {
    std::FILE* f = std::fopen((outputDirectory + "a").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(Map("a/b.txt", true), Cunzip::kMapDirectoryFailed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::kStop);
}

}  // namespace
}  // namespace tovra::extract
