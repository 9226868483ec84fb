// Tests of ToInternalName and the DOS reduction: drives and leading
// separators, '.' and '..' in front, -j, -k, directories, and Shift JIS names
// whose second byte is '\' or a lower-case letter.
#include "archive/internal_names.h"

#include <gtest/gtest.h>

#include "archive/file_collection.h"
#include "support/code_page.h"

namespace tovra::archive {
namespace {

struct NameCase {
    const char* external;
    bool isDirectory;
    bool dosNames;
    bool keepPaths;
    const char* expected;
};

const NameCase kNameCases[] = {
    {"C:\\data\\x.txt", false, false, true, "data/x.txt"},
    {"C:\\data\\x.txt", false, false, false, "x.txt"},
    {"\\\\/top/a", false, false, true, "top/a"},
    {"./a.txt", false, false, true, "a.txt"},
    {"../../up/a.txt", false, false, true, "up/a.txt"},
    {"..", true, false, true, ""},
    {"..name/a", false, false, true, "..name/a"},  // a name that starts with dots is kept
    {"a/../b", false, false, true, "a/../b"},
    {"src/sub", true, false, true, "src/sub/"},
    {"src/sub/", true, false, false, ""},  // -j leaves a directory no name
    {"Long File Name.text", false, true, true, "LONGFILE.TEX"},
    {"dir.name.ext/a.b.c", false, true, true, "DIR.NAM/A.B"},
    {"ab:c d/abcdefghij", false, true, true, "ABCD/ABCDEFGH"},
};

TEST(InternalNameTest, TableOfForms) {
    ArchiveContext context;
    context.ResetRunSettings();
    for (const NameCase& c : kNameCases) {
        EXPECT_EQ(MakeInternalName(context, c.external, c.isDirectory, c.dosNames, c.keepPaths, nullptr), c.expected)
            << c.external;
    }
}

TEST(InternalNameTest, DosCompatibleFollowsDashK) {
    ArchiveContext context;
    context.ResetRunSettings();
    int dosCompatible = -1;
    EXPECT_EQ(ToInternalName(context, "dir\\Read Me.txt", false, &dosCompatible), "dir/Read Me.txt");
    EXPECT_EQ(dosCompatible, 0);  // the test machine's volumes have long names
    context.dosNames = true;
    EXPECT_EQ(ToInternalName(context, "Read Me.txt", false, &dosCompatible), "README.TXT");
    EXPECT_EQ(dosCompatible, 1);
}

TEST(InternalNameTest, ShiftJisSecondBytesAreNeverSeparatorsOrLetters) {
    test::ScopedCodePage sjis(932);
    if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
    ArchiveContext context;
    context.ResetRunSettings();
    // 0x95 0x5C ends in '\'; 0x83 0x61 ends in 'a'.
    EXPECT_EQ(MakeInternalName(context, "d\\\x95\x5C\\f", false, false, true, nullptr), "d/\x95\x5C/f");
    EXPECT_EQ(MakeInternalName(context, "d\\\x95\x5C", false, false, false, nullptr), "\x95\x5C");
    EXPECT_EQ(MakeInternalName(context, "\x83\x61x.txt", false, true, true, nullptr), "\x83\x61X.TXT");
    // Eight bytes of base name: a double-byte character that would be cut is dropped whole.
    EXPECT_EQ(MakeInternalName(context, "abcdefg\x83\x61.c", false, true, true, nullptr), "ABCDEFG.C");
}

}  // namespace
}  // namespace tovra::archive
