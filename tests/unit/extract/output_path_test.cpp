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

// Windows decides about devices on the name as it opens it: trailing dots and
// spaces go, then everything from the first dot, then trailing spaces again.
TEST(DeviceNames, DecidedAsWindowsDoes) {
    const struct {
        const char* component;
        int codePage;
        bool device;
    } cases[] = {
        {"con", 932, true},
        {"NUL.txt", 932, true},
        {"Aux.tar.gz", 932, true},
        {"com1", 932, true},
        {"lpt9.log", 932, true},
        {"prn ", 932, true},
        {"con...", 932, true},
        {"NUL .txt", 932, true},
        {"AUX. .", 932, true},
        {"CONIN$", 932, true},
        {"conout$.txt", 932, true},
        {"console", 932, false},
        {"com0", 932, false},
        {"com10", 932, false},
        {"lpt", 932, false},
        {"nul_", 932, false},
        {"xcon", 932, false},
        {"", 932, false},
        {".", 932, false},
        {"CONOUT", 932, false},
        {"CON$", 932, false},
        {"LPT\xB9", 1252, true},
        {"com\xB3.txt", 1252, true},
        {"COM\xB2", 1253, true},
        {"COM\xB9", 1253, false},
        {"LPT\xB9", 1250, false},
        {"LPT\xB9", 932, false},
        {"COM\xC2\xB9", 65001, true},
        {"COM\xC2\xB9", 1252, false},
        {"LPT\xA9\xF8", 949, true},
        {"COM\xB9\xB9", 1252, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::IsWindowsDeviceName(c.component, c.codePage), c.device)
            << c.component << " in code page " << c.codePage;
    }
}

// The same member names for a Windows file system and for a native one: on
// Windows every component becomes a name that opens an ordinary file, with a
// warning; natively the names stay as they are ('/' and '\' still separate).
TEST(OutputPathMapping, WindowsNamesAreMadeOrdinaryFilesNativeNamesStay) {
    const struct {
        const char* name;
        bool keepPaths;
        const char* windowsPath;  // unsafe on Windows
        const char* nativePath;
        bool nativeUnsafe;
    } cases[] = {
        {"sub/C:evil.txt", true, "sub/C_evil.txt", "sub/C:evil.txt", false},
        {"sub/C:evil.txt", false, "C_evil.txt", "C:evil.txt", false},
        {"C:evil.txt", false, "evil.txt", "evil.txt", true},
        {"D:x", true, "x", "x", true},
        {"a:b", true, "b", "b", true},  // a drive prefix on both builds
        {"d/a:b", true, "d/a_b", "d/a:b", false},
        {"x*y?.txt", false, "x_y_.txt", "x*y?.txt", false},
        {"<>|\"", false, "____", "<>|\"", false},
        {"tab\there\x01\x1F.txt", false, "tab_here__.txt", "tab\there\x01\x1F.txt", false},
        {"NUL:", false, "NUL_", "NUL:", false},
        {"C:NUL", false, "_NUL", "NUL", true},
        {"CON:", true, "CON_", "CON:", false},
        {"CONOUT$", false, "_CONOUT$", "CONOUT$", false},
        {"conin$.txt", false, "_conin$.txt", "conin$.txt", false},
        {"nul .txt", false, "_nul .txt", "nul .txt", false},
        {"AUX...", false, "_AUX...", "AUX...", false},
        {"con...", false, "_con...", "con...", false},
        {"nul.txt/d/CON", true, "_nul.txt/d/_CON", "nul.txt/d/CON", false},
        {"d/com1.log", false, "_com1.log", "com1.log", false},
        {"d/ordinary.txt", true, "d/ordinary.txt", "d/ordinary.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.keepPaths ? " (j)" : ""));
        const MappedName windows = MapMemberName(c.name, c.keepPaths, {true, 932});
        EXPECT_EQ(windows.kind, MappedKind::kFile);
        EXPECT_EQ(windows.path, c.windowsPath);
        EXPECT_EQ(windows.unsafe, std::string(c.name) != c.windowsPath);
        const MappedName native = MapMemberName(c.name, c.keepPaths, {false, 932});
        EXPECT_EQ(native.path, c.nativePath);
        EXPECT_EQ(native.unsafe, c.nativeUnsafe);
    }
}

TEST(OutputPathMapping, DoubleByteCharactersAreNotReplacedByteByByte) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    // 0x83 0x7C is one character; its second byte is '|'.
    const std::string name = "\x83\x7C|.txt";
    EXPECT_EQ(MapMemberName(name.c_str(), false, {true, 932}).path, "\x83\x7C_.txt");
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
        std::snprintf(context.MemberForTest().nameBuffer, kNameBufferSize, "%s", name.c_str());
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
    const struct {
        const char* name;
        bool keepPaths;
        const char* landing;  // below the output directory
    } cases[] = {
        {"../../x", false, "x"},
        {"a/../../x", false, "x"},
        {"a/../../x", true, "a/x"},
        {"//x", true, "x"},
        {"C:x", true, "x"},
        {"C:\\x", false, "x"},
        {"\\\\server\\share\\d\\x", true, "d/x"},
        {"..\\..\\x", true, "x"},
#ifdef _WIN32
        {"sub/C:evil.txt", false, "C_evil.txt"},
        {"d/NUL:", true, "d/NUL_"},
        {"CONOUT$", false, "_CONOUT$"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.keepPaths ? " (j)" : ""));
        ui.messages.clear();
        ASSERT_EQ(Map(c.name, c.keepPaths), Cunzip::kMapGoOn);
        EXPECT_EQ(context.Output().nameWarning, 1);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::kExclamation);
        EXPECT_EQ(context.Output().outputPath, outputDirectory + c.landing);
        // The directories on the way exist inside, so the file can be opened.
        std::FILE* f = std::fopen(context.Output().outputPath.c_str(), "wb");
        EXPECT_NE(f, nullptr) << context.Output().outputPath;
        if (f != nullptr) std::fclose(f);
    }
    EXPECT_TRUE(NothingBesideOutput());
}

TEST_F(OutputPathOnDisk, NameWithNothingLeftIsSkippedWithWarning) {
    for (bool keepPaths : {false, true}) {
        ui.messages.clear();
        EXPECT_EQ(Map("../..", keepPaths), Cunzip::kMapNothingLeft);
        EXPECT_EQ(context.Output().nameWarning, 1);
        EXPECT_EQ(ui.messages.size(), 1u);
    }
    EXPECT_TRUE(NothingBesideOutput());
}

TEST_F(OutputPathOnDisk, DirectoriesAreCreatedOnlyWithKeptPaths) {
    EXPECT_EQ(Map("a/b/c.txt", false), Cunzip::kMapGoOn);
    EXPECT_EQ(context.Output().outputPath, outputDirectory + "c.txt");
    EXPECT_FALSE(platform::IsDirectory(outputDirectory + "a"));
    EXPECT_EQ(Map("a/b/c.txt", true), Cunzip::kMapGoOn);
    EXPECT_EQ(context.Output().outputPath, outputDirectory + "a/b/c.txt");
    EXPECT_TRUE(platform::IsDirectory(outputDirectory + "a/b"));
    EXPECT_EQ(Map("d/e/", true), Cunzip::kMapDirectoryEntry);
    EXPECT_TRUE(platform::IsDirectory(outputDirectory + "d/e"));
    EXPECT_EQ(Map("f/", false), Cunzip::kMapDirectoryEntry);
    EXPECT_FALSE(platform::IsDirectory(outputDirectory + "f"));
    EXPECT_EQ(context.Output().nameWarning, 0);
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
