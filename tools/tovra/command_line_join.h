// command_line_join.h - turning the tool's argument vector back into the one
// command line that the library's exports take.
#pragma once

#include <string>
#include <vector>

namespace tovra::tool {

// Joins `arguments` with single spaces. An argument that holds a space or is
// empty is wrapped in double quotes so that it stays one token; nothing else
// is changed (a double quote inside an argument cannot be passed through).
inline std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) {
            line += ' ';
        }
        if (argument.empty() || argument.find(' ') != std::string::npos) {
            line += '"' + argument + '"';
        } else {
            line += argument;
        }
    }
    return line;
}

}  // namespace tovra::tool
