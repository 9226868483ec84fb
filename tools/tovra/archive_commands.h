// archive_commands.h - the tool's commands that show the record-oriented
// exports to a person: list (the enumeration handle), check
// (UnzipCheckArchive), cat (UnzipExtractToMem) and extract-all
// (UnzipExtractAll).
//
// Each takes the arguments after its command name, prints to standard output
// (errors to standard error) and returns the tool's exit status. A wrong
// number of arguments or an unknown option prints a usage line and gives 2.
#pragma once

#include <string>
#include <vector>

namespace tovra::tool {

// Exit status for wrong arguments.
inline constexpr int kUsageExit = 2;
// Exit status for a run that could not start (result -1).
inline constexpr int kNotStartedExit = 255;

// `list ARCHIVE`: one line per member (sizes, CRC, date and time, attribute
// and method texts, name) under a header line. 0 when the archive could be
// enumerated, 1 when it could not (missing, damaged, preamble, no members,
// over-long name).
int ListCommand(const std::vector<std::string>& arguments);

// `check ARCHIVE [--full]`: prints "ok" and gives 0 for a usable archive,
// prints "not a usable archive" and gives 1 otherwise. --full searches the
// whole file for the end record.
int CheckCommand(const std::vector<std::string>& arguments);

// `cat ARCHIVE MEMBER`: the member's bytes, unchanged, on standard output
// (binary mode on Windows). The exit status is the library's result code.
int CatCommand(const std::vector<std::string>& arguments);

// `extract-all ARCHIVE DIR [--freshen|--no-check] [--paths]
// [--overwrite|--never]`: the whole archive into DIR (created when missing).
// The exit status is the library's result code, 255 when it could not start.
int ExtractAllCommand(const std::vector<std::string>& arguments);

}  // namespace tovra::tool
