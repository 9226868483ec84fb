// extract_hostile_names_test.cpp - an archive whose member names try to lead
// out of the output directory (parent components with either separator,
// rooted and server paths, drive prefixes) extracted through Unzip, with and
// without kept paths: nothing may appear outside the output directory, the
// members that keep a usable name land inside it, and the run warns (result
// 1; the warnings go to the library's default host, standard error). The
// output directory is given absolute, relative, empty and not at all (the
// last two from inside it). Names that only Windows reads specially (':',
// '*', device names) are ordinary here and land as stored. The archive is
// written by Python's zipfile, which stores names as given.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace {

const std::vector<std::string> kHostileNames = {
    "../../x1", "a/../../x2", "//x3", "C:x4", "C:\\x5", "\\\\server\\share\\x6", "..\\..\\x7", "../..",
};

// Stored name, where it lands with kept paths and without.
struct WindowsOnlyName {
    const char* name;
    const char* kept;
    const char* dropped;
};
const WindowsOnlyName kWindowsOnlyNames[] = {
    {"sub/C:evil.txt", "sub/C:evil.txt", "C:evil.txt"},
    {"x*y?.txt", "x*y?.txt", "x*y?.txt"},
    {"NUL:", "NUL:", "NUL:"},
    {"e/CON", "e/CON", "CON"},
};

// How the output directory is given.
enum class OutputForm { kAbsolute, kRelative, kEmpty, kNone };

// Every regular file below `directory` (relative paths), found with find(1).
std::vector<std::string> FilesBelow(const std::string& directory, const std::string& listing) {
    std::system(("cd '" + directory + "' && find . -type f | sort > '" + listing + "'").c_str());
    std::vector<std::string> files;
    std::ifstream in(listing);
    for (std::string line; std::getline(in, line);) files.push_back(line);
    return files;
}

class HostileNames : public ::testing::TestWithParam<std::tuple<bool, OutputForm>> {};

TEST_P(HostileNames, NothingLandsOutsideTheOutputDirectory) {
    const bool keepPaths = std::get<0>(GetParam());
    const OutputForm form = std::get<1>(GetParam());
    tovra::test::ScratchDir scratch;
    const std::string archive = scratch / "hostile.zip";
    const std::string script = scratch / "make.py";
    {
        std::ofstream py(script);
        py << "import sys, zipfile\n"
              "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
              "    for name in sys.argv[2:]:\n"
              "        info = zipfile.ZipInfo('placeholder')\n"
              "        info.filename = name\n"  // as given: no normalisation
              "        z.writestr(info, 'payload of ' + name)\n";
    }
    std::string command = "python3 '" + script + "' '" + archive + "'";
    for (const std::string& name : kHostileNames) command += " '" + name + "'";
    for (const WindowsOnlyName& n : kWindowsOnlyNames) command += " '" + std::string(n.name) + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    // The output directory sits three levels down, so ../../ stays inside the
    // scratch directory where the check below can see it.
    const std::string out = scratch / "d1/d2/out/";
    ASSERT_TRUE(tovra::platform::MakeDirectory(scratch / "d1") && tovra::platform::MakeDirectory(scratch / "d1/d2") &&
                tovra::platform::MakeDirectory(out));
    const std::string caller = tovra::platform::GetCurrentDir();
    std::string line = std::string(keepPaths ? "-j " : "") + "\"" + archive + "\"";
    switch (form) {
        case OutputForm::kAbsolute:
            line += " \"" + out + "\"";
            break;
        case OutputForm::kRelative:
            ASSERT_TRUE(tovra::platform::SetCurrentDir(scratch / "d1/d2"));
            line += " out/";
            break;
        case OutputForm::kEmpty:
            line += " \"\"";
            [[fallthrough]];
        case OutputForm::kNone:
            ASSERT_TRUE(tovra::platform::SetCurrentDir(out));
            break;
    }
    EXPECT_EQ(Unzip(nullptr, line.c_str(), nullptr, 0), 1);
    tovra::platform::SetCurrentDir(caller);

    std::vector<std::string> everywhere = FilesBelow(scratch.Path(), scratch / "all.txt");
    std::vector<std::string> outside;
    for (const std::string& f : everywhere) {
        if (f.rfind("./d1/d2/out/", 0) != 0 && f != "./hostile.zip" && f != "./make.py" && f != "./all.txt") {
            outside.push_back(f);
        }
    }
    EXPECT_TRUE(outside.empty()) << outside.front();
    // Each name but the one of which nothing remains is written inside: at
    // what remains of it with kept paths, under its last component without.
    for (int i = 1; i <= 7; ++i) {
        const std::string name = (keepPaths && i == 2 ? "a/x" : "x") + std::to_string(i);
        EXPECT_TRUE(tovra::platform::FileExists(out + name)) << name;
    }
    for (const WindowsOnlyName& n : kWindowsOnlyNames) {
        const std::string landing = keepPaths ? n.kept : n.dropped;
        EXPECT_EQ(tovra::test::ReadWholeFile(out + landing).value_or("<missing>"), std::string("payload of ") + n.name)
            << landing;
    }
}

INSTANTIATE_TEST_SUITE_P(KeptPathsAndOutputForms, HostileNames,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(OutputForm::kAbsolute, OutputForm::kRelative,
                                                              OutputForm::kEmpty, OutputForm::kNone)));

}  // namespace
