// archive_command_fuzzer.cpp - feeds arbitrary bytes to the tokenizer of the
// archiving command line, in both code pages.
//
// The input up to its first zero byte is one command string; tokens that
// would name a response file are dropped first, so that the harness never
// reads files of the machine it runs on. Afterwards the rules that always
// hold are checked: entry 0 is "Zip", no argument is empty or holds a zero
// byte, no argument is longer than the input, and a base directory ends in a
// separator. Any violation aborts.
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/archive_command_line.h"
#include "platform/testing_hooks.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void TokenizeAndCheck(const std::string& line) {
    tovra::archive::ArchiveContext context;
    context.argumentList = {"Zip"};
    tovra::archive::TokenizeArchiveCommandLine(context, line);
    Require(!context.argumentList.empty() && context.argumentList[0] == "Zip");
    for (size_t i = 1; i < context.argumentList.size(); ++i) {
        const std::string& argument = context.argumentList[i];
        Require(!argument.empty() || line.find("\\*.*") != std::string::npos);
        Require(argument.find('\0') == std::string::npos);
        Require(argument.size() <= line.size());
    }
    if (!context.baseDirectory.empty()) {
        const char last = context.baseDirectory.back();
        Require(last == '/' || last == '\\');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    for (char& c : line) {
        if (c == '@') c = 'a';
    }
    for (int codePage : {932, 65001}) {
        tovra::platform::OverrideCodePageForTesting(codePage);
        TokenizeAndCheck(line);
    }
    tovra::platform::OverrideCodePageForTesting(0);
    return 0;
}
