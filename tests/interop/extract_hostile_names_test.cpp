// extract_hostile_names_test.cpp - an archive whose member names try to lead
// out of the output directory (parent components with either separator,
// rooted and server paths, drive prefixes) extracted through Unzip, with and
// without kept paths: nothing may appear outside the output directory, the
// members that keep a usable name land inside it, and the run warns (result
// 1; the warnings go to the library's default host, standard error). The archive is written by Python's zipfile, which
// stores names as given.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "tovra.h"

namespace {

const std::vector<std::string> kHostileNames = {
    "../../x1", "a/../../x2", "//x3", "C:x4", "C:\\x5", "\\\\server\\share\\x6", "..\\..\\x7", "../..",
};

// Every regular file below `directory` (relative paths), found with find(1).
std::vector<std::string> FilesBelow(const std::string& directory, const std::string& listing) {
    std::system(("cd '" + directory + "' && find . -type f | sort > '" + listing + "'").c_str());
    std::vector<std::string> files;
    std::ifstream in(listing);
    for (std::string line; std::getline(in, line);) files.push_back(line);
    return files;
}

class HostileNames : public ::testing::TestWithParam<bool> {};

TEST_P(HostileNames, NothingLandsOutsideTheOutputDirectory) {
    const bool keepPaths = GetParam();
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
    ASSERT_EQ(std::system(command.c_str()), 0);

    // The output directory sits three levels down, so ../../ stays inside the
    // scratch directory where the check below can see it.
    const std::string out = scratch / "d1/d2/out/";
    const std::string line = std::string(keepPaths ? "-j " : "") + "\"" + archive + "\" \"" + out + "\"";
    EXPECT_EQ(Unzip(nullptr, line.c_str(), nullptr, 0), 1);

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
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutKeptPaths, HostileNames, ::testing::Bool());

}  // namespace
