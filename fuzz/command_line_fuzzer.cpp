// command_line_fuzzer.cpp - feeds arbitrary bytes to the extraction command
// line: the tokenizer, the option letters with their shared negation counter,
// and the command line that UnzipExtractAll builds.
//
// The input up to its first zero byte is one command line, parsed in both
// code pages. After parsing the rules that always hold are checked: the text
// conversion count is at most 2, overwrite-all and never-overwrite are never
// both on, process-all is 0 exactly when a third positional argument exists,
// counters are never negative (comment level excepted), and no argument holds
// a zero byte. Response-file tokens are dropped from the input so that the
// harness never reads files of the machine it runs on. Any violation aborts.
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/extract_all.h"
#include "api/extract_context.h"
#include "extract/process_state.h"
#include "platform/testing_hooks.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void ParseAndCheck(const std::string& line) {
    tovra::api::ExtractContext context;
    context.ResetRunState();
    Require(context.ParseCommandLine(line.c_str()) == 0);
    const tovra::extract::ExtractOptions& o = context.options;
    const tovra::extract::ExtractProcessState& state = tovra::extract::ProcessState();
    Require(o.textConversion >= 0 && o.textConversion <= 2);
    Require(!(state.OverwriteAllFlag != 0 && state.NeverOverwriteFlag != 0));
    Require(state.OverwriteAllFlag >= 0 && state.AssumeYesFlag >= 0 && state.NeverOverwriteFlag >= 0);
    Require(o.listLevel >= 0 && o.volumeLabel >= 0);
    Require(context.processAllMembers == (context.ArgumentList.size() > 2 ? 0 : 1));
    for (const std::string& argument : context.ArgumentList) {
        Require(argument.find('\0') == std::string::npos);
    }
    if (context.ArgumentList.size() >= 2) {
        auto built = tovra::api::BuildExtractAllCommandLine(context.ArgumentList[0], context.ArgumentList[1], 0x1F);
        Require(built.has_value() == !context.ArgumentList[1].empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    for (char& c : line) {
        if (c == '@') c = '#';
    }
    for (int codePage : {932, 65001}) {
        tovra::platform::OverrideCodePageForTesting(codePage);
        tovra::extract::ProcessState() = tovra::extract::ExtractProcessState{};
        ParseAndCheck(line);
    }
    tovra::platform::OverrideCodePageForTesting(0);
    return 0;
}
