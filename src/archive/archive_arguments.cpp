// archive_arguments.cpp - the walk over the archiving command line's
// arguments and the combination rules applied after it.
//
// The walk is one left-to-right pass driven by ParseState. It does not wait
// for the end of the list: the archive is read the moment its name is met,
// and each file argument is collected from disk (Add, Update) or matched
// against the archive's members (Freshen, Delete) the moment it is met, with
// the options seen so far in force. An error ends the walk at once; the
// letters and arguments before it have taken effect.
#include <cstdio>
#include <string>

#include "archive/archive_command_line.h"
#include "archive/file_collection.h"
#include "compress/update_reader.h"
#include "format/archive_errors.h"
#include "format/dos_time.h"
#include "platform/platform.h"

namespace tovra::archive {
namespace {

enum class ParseState {
    kExpectArchiveName,
    kExpectTempPath,
    kExpectDate,
    kExpectFirstFile,
    kExpectMoreFiles,
    kInPatternList
};

// The reason for a failed walk, before it is reported.
int ArgumentError(ArchiveContext& context, const std::string& detail) {
    return context.ReportError(format::kArchiveErrorParameters, platform::Utf8ToAnsi(detail));
}

// Set when an error was reported by a step that returned without its code.
int ReportedCode(const ArchiveContext& context) {
    return context.errorReportCount > 0 ? (context.firstErrorCode != 0 ? context.firstErrorCode : 1) : 0;
}

// '\' becomes '/' (by whole characters); ".ZIP" is added to a name without
// an extension unless -A keeps it as given.
std::string NormaliseArchiveName(const std::string& name, bool adjustOffsets) {
    std::string result;
    size_t lastSlash = std::string::npos;
    bool dotAfterSlash = false;
    for (const char* p = name.c_str(); *p != '\0';) {
        const char* next = platform::NextChar(p);
        if (next - p == 1 && (*p == '\\' || *p == '/')) {
            lastSlash = result.size();
            dotAfterSlash = false;
            result += '/';
        } else {
            if (next - p == 1 && *p == '.') dotAfterSlash = true;
            result.append(p, static_cast<size_t>(next - p));
        }
        p = next;
    }
    (void)lastSlash;
    if (!adjustOffsets && !result.empty() && !dotAfterSlash) result += ".ZIP";
    return result;
}

class ArgumentWalk {
public:
    explicit ArgumentWalk(ArchiveContext& context) : context_(context), settings_(ProcessSettings()) {}

    // 0 to go on, kParseStop to end quietly, else the reported error code.
    int Run() {
        for (size_t i = 1; i < context_.argumentList.size(); ++i) {
            const int result = Step(i);
            if (result != 0) return result;
            if (state_ == ParseState::kInPatternList && walkEnded_) break;
        }
        return 0;
    }

    ParseState state() const { return state_; }

private:
    int Step(size_t index) {
        const std::string argument = context_.argumentList[index];
        if (argument.size() > 1 && argument[0] == '-') return OptionGroup(argument);
        if (argument == "-") {
            switch (state_) {
                case ParseState::kExpectArchiveName:
                    state_ = ParseState::kExpectFirstFile;
                    return 0;
                case ParseState::kExpectTempPath:
                    return ArgumentError(context_, "invalid path");
                case ParseState::kExpectDate:
                    return ArgumentError(context_, "invalid time");
                case ParseState::kInPatternList:
                    return 0;
                default:
                    return FileArgument(index);
            }
        }
        if (context_.writer.storeSuffixes.empty() && suffixListExpected_) {
            context_.writer.storeSuffixes = argument;
            suffixListExpected_ = false;
            return 0;
        }
        switch (state_) {
            case ParseState::kExpectArchiveName:
                return ArchiveName(argument);
            case ParseState::kExpectTempPath:
                tempPath_ = argument;  // validated only; temporary files go to the system's directory
                state_ = ParseState::kExpectArchiveName;
                return 0;
            case ParseState::kExpectDate:
                return CutoffDate(argument);
            case ParseState::kExpectFirstFile:
            case ParseState::kExpectMoreFiles:
                return FileArgument(index);
            case ParseState::kInPatternList:
                walkEnded_ = true;
                return 0;
        }
        return 0;
    }

    int ArchiveName(const std::string& argument) {
        context_.archivePath = NormaliseArchiveName(argument, context_.adjustOffsets);
        state_ = ParseState::kExpectFirstFile;
        if (context_.archivePath.empty()) {
            return context_.ReportError(format::kArchiveErrorMemory, "was processing arguments");
        }
        compress::UpdateReadOptions options;
        options.repairLevel = context_.writer.repairLevel;
        options.adjustOffsets = context_.adjustOffsets;
        options.verbosity = context_.verbosity;
        options.dosNames = context_.dosNames;
        options.messageBuffer = context_.messageBuffer;
        options.showWarnings = context_.showWarnings;
        options.progressShown = context_.writer.progressShown;
        context_.archiveStatusKnown = -1;  // the self-inclusion check looks at this archive
        const int result = compress::ReadArchiveForUpdate(context_.archivePath, options, context_, context_.contents);
        if (result != 0) return context_.ReportError(result, context_.archivePath);
        return ReportedCode(context_);
    }

    int CutoffDate(const std::string& text) {
        int month = 0, day = 0, year = 0;
        if (std::sscanf(text.c_str(), "%2d%2d%2d", &month, &day, &year) != 3 || month < 1 || month > 12 || day < 1 ||
            day > 31) {
            return ArgumentError(context_, "invalid date entered for -t option");
        }
        platform::CalendarTime t;
        t.year = year < 80 ? 2000 + year : 1900 + year;
        t.month = month;
        t.day = day;
        settings_.cutoffDate = t.year < 1980 ? format::kDosTimeMinimum : format::PackDosTime(t);
        state_ = ParseState::kExpectArchiveName;
        return 0;
    }

    int FileArgument(size_t index) {
        std::string name = context_.argumentList[index];
        const bool fromDisk = settings_.action == ArchiveAction::kAdd || settings_.action == ArchiveAction::kUpdate;
        const int result = fromDisk ? CollectFromDisk(context_, name) : ProcessName(context_, name);
        if (ReportedCode(context_) != 0) return ReportedCode(context_);
        if (result == -1) {
            context_.ReportWarning(platform::Utf8ToAnsi("name not matched: "), context_.argumentList[index]);
        } else if (result != 0) {
            return context_.ReportError(result, context_.argumentList[index]);
        }
        context_.argumentList[index] = name;
        if (state_ == ParseState::kExpectFirstFile) {
            context_.firstFileIndex = index;
            state_ = ParseState::kExpectMoreFiles;
        }
        return 0;
    }

    int SetAction(ArchiveAction action) {
        if (settings_.action != ArchiveAction::kAdd) return ArgumentError(context_, "specify just one action");
        settings_.action = action;
        return 0;
    }

    int OptionGroup(const std::string& group) {
        for (const char* p = group.c_str() + 1; *p != '\0'; p = platform::NextChar(p)) {
            const int result = OptionLetter(*p);
            if (result != 0) return result;
        }
        return 0;
    }

    int OptionLetter(char letter) {
        compress::EntryWriterSettings& writer = context_.writer;
        switch (letter) {
            case '0':
                writer.forcedMethod = 0;
                writer.compressionLevel = 0;
                return 0;
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7':
            case '8':
            case '9':
                writer.compressionLevel = letter - '0';
                return 0;
            case '$':
            case '@':
            case 'p':
                return 0;
            case '?':
            case 'H':
            case 'h':
                return kParseStop;
            case 'A':
                context_.adjustOffsets = true;
                return 0;
            case 'D':
                context_.storeDirEntries = false;
                return 0;
            case 'F':
                ++writer.repairLevel;
                return 0;
            case 'J':
                settings_.dropPreamble = true;
                return 0;
            case 'S':
                context_.includeHiddenSystem = true;
                return 0;
            case 'X':
                writer.writeExtraFields = false;
                return 0;
            case 'b':
                settings_.tempPathGiven = true;
                if (state_ != ParseState::kExpectArchiveName)
                    return ArgumentError(context_, "use -b before zip file name");
                state_ = ParseState::kExpectTempPath;
                return 0;
            case 'd':
                return SetAction(ArchiveAction::kDelete);
            case 'e':
                return ArgumentError(context_, "encryption not supported");
            case 'f':
                return SetAction(ArchiveAction::kFreshen);
            case 'u':
                return SetAction(ArchiveAction::kUpdate);
            case 'g':
                context_.appendInPlace = true;
                return 0;
            case 'i':
            case 'x': {
                const bool selectable =
                    state_ == ParseState::kExpectMoreFiles ||
                    (state_ == ParseState::kExpectFirstFile &&
                     (settings_.action == ArchiveAction::kUpdate || settings_.action == ArchiveAction::kFreshen));
                if (!selectable) return ArgumentError(context_, "nothing to select from");
                state_ = ParseState::kInPatternList;
                return 0;
            }
            case 'j':
                context_.keepPaths = false;
                return 0;
            case 'k':
                context_.dosNames = true;
                return 0;
            case 'l':
                ++writer.lineEndConversion;
                return 0;
            case 'm':
                context_.deleteSources = true;
                return 0;
            case 'n':
                writer.storeSuffixes.clear();
                suffixListExpected_ = true;
                return 0;
            case 'o':
                settings_.stampArchiveTime = true;
                return 0;
            case 'q':
                context_.showWarnings = false;
                if (context_.verbosity > 0) --context_.verbosity;
                return 0;
            case 'r':
                context_.recurseIntoDirs = true;
                return 0;
            case 't':
                if (settings_.cutoffDate != 0) return ArgumentError(context_, "can only have one -t");
                state_ = ParseState::kExpectDate;
                return 0;
            case 'v':
                context_.showWarnings = true;
                ++context_.verbosity;
                return 0;
            case 'z':
                settings_.commentEditRequested = true;
                return 0;
            default: {
                char detail[32];
                std::snprintf(detail, sizeof detail, "no such option: %c", letter);
                return context_.ReportError(format::kArchiveErrorParameters, detail);
            }
        }
    }

    ArchiveContext& context_;
    ArchivingProcessSettings& settings_;
    ParseState state_ = ParseState::kExpectArchiveName;
    bool suffixListExpected_ = false;  // -n emptied the suffix list; the next plain argument refills it
    bool walkEnded_ = false;           // a plain argument after -i / -x ends the walk
    std::string tempPath_;
};

// The rules applied after the walk. Returns as ParseArchiveArguments.
int ApplyCombinationRules(ArchiveContext& context, ParseState finalState) {
    ArchivingProcessSettings& settings = ProcessSettings();
    compress::ArchiveContents& contents = context.contents;
    // 1. -u / -f without file arguments: every (selected) member is a candidate.
    if (finalState != ParseState::kExpectMoreFiles && context.firstFileIndex == 0 &&
        (settings.action == ArchiveAction::kUpdate || settings.action == ArchiveAction::kFreshen)) {
        for (format::ZipEntry* e = contents.entries; e != nullptr; e = e->next) {
            e->actionMark = context.selectPatterns.empty() || PassesSelection(context, e->internalName) ? 1 : 0;
        }
    }
    // 2. Repeated stored names among the new files.
    const int duplicates = CheckDuplicateNames(context);
    if (ReportedCode(context) != 0) return ReportedCode(context);
    if (duplicates == format::kArchiveErrorParameters) {
        return ArgumentError(context, "cannot repeat names in zip file");
    }
    if (duplicates != 0) return context.ReportError(duplicates, "was processing list of files");
    contents.ReleaseSortedIndex();
    // 3., 4. The suffix list.
    std::string& suffixes = context.writer.storeSuffixes;
    if (suffixes.empty()) return ArgumentError(context, "missing suffix list");
    if (context.writer.compressionLevel == 9 || suffixes == ";" || suffixes == ":") suffixes.clear();
    // 5. Options that make no sense when deleting.
    if (settings.action == ArchiveAction::kDelete && (context.writer.forcedMethod == 0 || context.deleteSources ||
                                                      context.recurseIntoDirs || settings.commentEditRequested)) {
        return ArgumentError(context, "invalid option(s) used with -d");
    }
    // 6. -F and -A exclude each other.
    if (context.writer.repairLevel > 0 && context.adjustOffsets) {
        context.ReportWarning(platform::Utf8ToAnsi("can't use -F with -A, -F ignored"), "");
        context.writer.repairLevel = 0;
    }
    // 7. An archive without members.
    if (contents.entryCount == 0) {
        if ((settings.action == ArchiveAction::kAdd && context.appendInPlace) ||
            settings.action == ArchiveAction::kDelete) {
            context.ReportWarning(context.archivePath, platform::Utf8ToAnsi(" が見つからないか、または空です。"));
            return kParseStop;
        }
        if (settings.action == ArchiveAction::kUpdate || settings.action == ArchiveAction::kFreshen) {
            settings.action = ArchiveAction::kAdd;
        }
    }
    return 0;
}

}  // namespace

int ParseArchiveArguments(ArchiveContext& context) {
    const int patterns = BuildSelectPatterns(context);
    if (patterns != 0) return patterns;
    ArgumentWalk walk(context);
    const int result = walk.Run();
    if (result != 0) return result;
    return ApplyCombinationRules(context, walk.state());
}

}  // namespace tovra::archive
