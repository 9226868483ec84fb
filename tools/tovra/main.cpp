// main.cpp - tovra, the command-line front end of the library.
//
//   tovra unzip ARGS...   extract, test or list (the Unzip command line)
//   tovra zip ARGS...     create or update an archive (the Zip command line)
//   tovra --version       the tool's and the library's version
//   tovra --help          usage with examples
//
// The arguments after the command are joined into one command line with
// single spaces; an argument that holds a space (or is empty) is put in
// double quotes. The text the library hands back (listings, the archive
// comment) is printed to standard output. The exit status is the library's
// result code; a negative result (the run did not start) exits with 255.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command_line_join.h"
#include "tovra.h"

#ifndef _WIN32
#include "terminal_ui_host.h"
#endif

namespace {

// Size of the text buffer handed to the library.
constexpr int kOutputBufferSize = 1 << 20;
// Exit status for a run that could not start (result -1).
constexpr int kNotStartedExit = 255;

void PrintHelp() {
    std::fputs(
        "usage: tovra unzip [options] ARCHIVE [OUTPUT_DIR/ [MEMBER...]]\n"
        "       tovra zip [options] ARCHIVE [FILE...]\n"
        "       tovra --version | --help\n"
        "\n"
        "unzip options (letters may be combined, '-' before a letter negates it):\n"
        "  -l  short listing      -v  verbose listing     -t  test members\n"
        "  -o  overwrite all      -n  never overwrite     -x  overwrite without checking\n"
        "  -f  freshen existing   -u  update (skip newer) -j  keep member paths\n"
        "  -z  show the comment   @FILE  read names from FILE, one per line\n"
        "The output directory names its directories by a trailing separator.\n"
        "\n"
        "examples:\n"
        "  tovra unzip -v sample.zip              list with sizes, methods and CRCs\n"
        "  tovra unzip -o sample.zip out/         extract everything into out/\n"
        "  tovra unzip -j sample.zip out/ a.txt   extract one member, keeping its path\n"
        "  tovra unzip -t sample.zip              test every member\n"
        "  tovra zip -r new.zip docs              archive a directory tree\n"
        "\n"
        "exit status: the library's result code (0 ok, 1 warning, 2 error, 9 no archive,\n"
        "11 nothing matched, ...); 255 when the run could not start.\n",
        stdout);
}

int RunLibrary(bool unzip, const std::vector<std::string>& arguments) {
    const std::string commandLine = tovra::tool::JoinCommandLine(arguments);
    std::vector<char> buffer(kOutputBufferSize, '\0');
#ifndef _WIN32
    tovra::tool::TerminalUiHost host;
    void* previousHost = TovraSetUiHost(&host);
#endif
    const int result = unzip ? Unzip(nullptr, commandLine.c_str(), buffer.data(), kOutputBufferSize)
                             : Zip(nullptr, commandLine.c_str(), buffer.data(), kOutputBufferSize);
#ifndef _WIN32
    host.FinishProgress();
    TovraSetUiHost(previousHost);
#endif
    // The library zero-terminates what it copied; an untouched buffer is all zeros.
    std::fwrite(buffer.data(), 1, std::strlen(buffer.data()), stdout);
    std::fflush(stdout);
    return result < 0 ? kNotStartedExit : result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp();
        return 2;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        PrintHelp();
        return 0;
    }
    if (command == "--version") {
        const int version = UnzipGetVersion();
        std::printf("tovra %d.%02d (library version %d)\n", version / 100, version % 100, version);
        return 0;
    }
    if (command == "unzip" || command == "zip") {
        return RunLibrary(command == "unzip", std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "tovra: unknown command '%s' (try tovra --help)\n", command.c_str());
    return 2;
}
