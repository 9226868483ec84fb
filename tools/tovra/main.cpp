// main.cpp - tovra, the command-line front end of the library.
//
//   tovra unzip ARGS...   extract, test or list (the Unzip command line)
//   tovra zip ARGS...     create or update an archive (the Zip command line)
//   tovra list | check | cat | extract-all ...
//                         the record-oriented exports (archive_commands.h)
//   tovra --version       the tool's and the library's version
//   tovra --help          usage with examples
//
// The arguments after the command are joined into one command line with
// single spaces; an argument that holds a space (or is empty) is put in
// double quotes. The text the library hands back (listings, the archive
// comment) is printed to standard output. The exit status is the library's
// result code; a negative result (the run did not start) exits with 255.
// The other commands take their own arguments (archive_commands.h).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "command_line_join.h"
#include "tovra.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include "terminal_ui_host.h"
#endif

namespace {

// Size of the text buffer handed to the library.
constexpr int kOutputBufferSize = 1 << 20;

void PrintHelp() {
    std::fputs(
        "usage: tovra unzip [options] ARCHIVE [OUTPUT_DIR/ [MEMBER...]]\n"
        "       tovra zip [options] ARCHIVE [FILE...]\n"
        "       tovra list ARCHIVE\n"
        "       tovra check ARCHIVE [--full]\n"
        "       tovra cat ARCHIVE MEMBER\n"
        "       tovra extract-all ARCHIVE DIR [--freshen|--no-check] [--paths]\n"
        "                                     [--overwrite|--never]\n"
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
        "  tovra list sample.zip                  sizes, CRC, date, attributes, method\n"
        "  tovra check sample.zip                 \"ok\", or \"not a usable archive\"\n"
        "  tovra check --full damaged.zip         search the whole file for the end\n"
        "  tovra cat sample.zip readme.txt > r    one member's bytes to standard output\n"
        "  tovra extract-all sample.zip out --paths --overwrite\n"
        "                                         everything into out (made), paths kept\n"
        "\n"
        "extract-all options (default: update, i.e. skip files that are newer on disk):\n"
        "  --freshen    only replace files that exist and are older\n"
        "  --no-check   replace, not looking at existing files (not with --freshen)\n"
        "  --paths      keep member paths\n"
        "  --overwrite  replace without asking\n"
        "  --never      never replace (ignored with --overwrite)\n"
        "\n"
        "exit status: unzip, cat and extract-all give the library's result code (0 ok,\n"
        "1 warning, 2 error, 9 no archive, 11 nothing matched, ...), 255 when the run\n"
        "could not start; list and check give 0 or 1; wrong arguments give 2.\n",
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
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the text already ends its lines in CR LF
#endif
    // The library zero-terminates what it copied; an untouched buffer is all zeros.
    std::fwrite(buffer.data(), 1, std::strlen(buffer.data()), stdout);
    std::fflush(stdout);
    return result < 0 ? tovra::tool::kNotStartedExit : result;
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
    const std::vector<std::string> rest(argv + 2, argv + argc);
    if (command == "list") return tovra::tool::ListCommand(rest);
    if (command == "check") return tovra::tool::CheckCommand(rest);
    if (command == "cat") return tovra::tool::CatCommand(rest);
    if (command == "extract-all") return tovra::tool::ExtractAllCommand(rest);
    std::fprintf(stderr, "tovra: unknown command '%s' (try tovra --help)\n", command.c_str());
    return 2;
}
