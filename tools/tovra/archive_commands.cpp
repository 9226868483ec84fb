// archive_commands.cpp - list, check, cat and extract-all (see
// archive_commands.h). Every command is a thin host of one export: it turns
// the person's arguments into the export's arguments and its results into
// readable lines and an exit status.
#include "archive_commands.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tovra.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include "terminal_ui_host.h"
#endif

namespace tovra::tool {
namespace {

// UnzipCheckArchive's mode that searches the whole file for the end record.
constexpr int kFullSearchMode = 2;

// Answers the library's questions on the terminal for one command (natively;
// Windows shows the library's own dialogs).
class ScopedTerminalHost {
public:
#ifndef _WIN32
    ScopedTerminalHost() : previous_(TovraSetUiHost(&host_)) {}
    ~ScopedTerminalHost() {
        host_.FinishProgress();
        TovraSetUiHost(previous_);
    }

private:
    TerminalUiHost host_;
    void* previous_;
#endif
};

void* LockBlock(TovraMemory block) {
#ifdef _WIN32
    return GlobalLock(block);
#else
    return TovraGlobalLock(block);
#endif
}

void UnlockBlock(TovraMemory block) {
#ifdef _WIN32
    GlobalUnlock(block);
#else
    TovraGlobalUnlock(block);
#endif
}

void FreeBlock(TovraMemory block) {
#ifdef _WIN32
    GlobalFree(block);
#else
    TovraGlobalFree(block);
#endif
}

int Usage(const char* line) {
    std::fprintf(stderr, "usage: tovra %s\n", line);
    return kUsageExit;
}

// Splits `arguments` into positional ones and the options of `known` (each
// an option text and the bit it sets). False for an unknown option.
struct OptionBit {
    const char* text;
    uint32_t bit;
};
template <size_t N>
bool SplitArguments(const std::vector<std::string>& arguments, const OptionBit (&known)[N],
                    std::vector<std::string>* positional, uint32_t* flags) {
    for (const std::string& argument : arguments) {
        if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            bool found = false;
            for (const OptionBit& option : known) {
                if (argument == option.text) {
                    *flags |= option.bit;
                    found = true;
                }
            }
            if (!found) {
                std::fprintf(stderr, "tovra: unknown option '%s'\n", argument.c_str());
                return false;
            }
        } else {
            positional->push_back(argument);
        }
    }
    return true;
}

void PrintRecord(const EntryInfoRecord& record) {
    // The record's date and time are the DOS fields as stored.
    const unsigned date = record.date;
    const unsigned time = record.time;
    std::printf("%10lu %10lu  %08lx  %04u-%02u-%02u %02u:%02u:%02u  %-4.8s  %-7.8s  %.513s\n",
                static_cast<unsigned long>(record.uncompressedSize), static_cast<unsigned long>(record.compressedSize),
                static_cast<unsigned long>(record.crc), (date >> 9) + 1980, (date >> 5) & 15, date & 31, time >> 11,
                (time >> 5) & 63, (time & 31) * 2, record.attribute, record.method, record.name);
}

}  // namespace

int ListCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1) {
        return Usage("list ARCHIVE");
    }
    TovraArchive handle = UnzipOpenArchive(nullptr, arguments[0].c_str(), 0);
    if (handle == nullptr) {
        std::fprintf(stderr,
                     "tovra: %s cannot be listed (missing, damaged, not an archive, data in front of it, "
                     "no members, or a name too long)\n",
                     arguments[0].c_str());
        return 1;
    }
    std::printf("%10s %10s  %-8s  %-10s %-8s  %-4s  %-7s  %s\n", "Length", "Size", "CRC-32", "Date", "Time", "Attr",
                "Method", "Name");
    std::printf("%10s %10s  %-8s  %-10s %-8s  %-4s  %-7s  %s\n", "------", "----", "------", "----", "----", "----",
                "------", "----");
    EntryInfoRecord record;
    unsigned long count = 0;
    for (int found = UnzipFindFirst(handle, nullptr, &record); found == 0; found = UnzipFindNext(handle, &record)) {
        PrintRecord(record);
        ++count;
    }
    std::printf("%lu member%s\n", count, count == 1 ? "" : "s");
    UnzipCloseArchive(handle);
    return 0;
}

int CheckCommand(const std::vector<std::string>& arguments) {
    constexpr OptionBit kOptions[] = {{"--full", 1}};
    std::vector<std::string> positional;
    uint32_t full = 0;
    if (!SplitArguments(arguments, kOptions, &positional, &full) || positional.size() != 1) {
        return Usage("check ARCHIVE [--full]");
    }
    const bool usable = UnzipCheckArchive(positional[0].c_str(), full != 0 ? kFullSearchMode : 0) == 1;
    std::puts(usable ? "ok" : "not a usable archive");
    return usable ? 0 : 1;
}

int CatCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2) {
        return Usage("cat ARCHIVE MEMBER");
    }
    TovraMemory block = nullptr;
    uint32_t size = 0;
    int result = 0;
    {
        [[maybe_unused]] ScopedTerminalHost host;
        result = UnzipExtractToMem(nullptr, arguments[0].c_str(), arguments[1].c_str(), &block, &size);
    }
    if (result != 0 || block == nullptr) {
        std::fprintf(stderr, "tovra: cannot extract '%s' from %s (result %d)\n", arguments[1].c_str(),
                     arguments[0].c_str(), result);
        return result > 0 ? result : (result < 0 ? kNotStartedExit : 1);
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the bytes unchanged: no CR before LF
#endif
    const void* data = LockBlock(block);
    int status = 0;
    if (size > 0 && (data == nullptr || std::fwrite(data, 1, size, stdout) != size)) {
        std::fprintf(stderr, "tovra: writing the member to standard output failed\n");
        status = 1;
    }
    if (data != nullptr) {
        UnlockBlock(block);
    }
    FreeBlock(block);
    if (std::fflush(stdout) != 0) {
        status = 1;
    }
    return status;
}

int ExtractAllCommand(const std::vector<std::string>& arguments) {
    // The flag bits of UnzipExtractAll.
    constexpr OptionBit kOptions[] = {
        {"--never", 1}, {"--overwrite", 2}, {"--freshen", 4}, {"--no-check", 8}, {"--paths", 16},
    };
    std::vector<std::string> positional;
    uint32_t flags = 0;
    if (!SplitArguments(arguments, kOptions, &positional, &flags) || positional.size() != 2) {
        return Usage("extract-all ARCHIVE DIR [--freshen|--no-check] [--paths] [--overwrite|--never]");
    }
    [[maybe_unused]] ScopedTerminalHost host;
    const int result = UnzipExtractAll(nullptr, positional[0].c_str(), positional[1].c_str(), flags);
    return result < 0 ? kNotStartedExit : result;
}

}  // namespace tovra::tool
