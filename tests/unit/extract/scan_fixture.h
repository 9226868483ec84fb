// scan_fixture.h - runs the extraction engine on an archive built by a test,
// without the command-line front end: a Cunzip with its run buffers, the
// options a test sets, and the host's text buffer captured as a string.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract/Cunzip.h"
#include "extract/process_state.h"
#include "support/file_helpers.h"
#include "support/scratch_dir.h"
#include "support/scripted_ui_host.h"
#include "support/zip_builder.h"

namespace tovra::extract::testing {

struct EngineOutcome {
    int result = -100;
    std::string text;  // what reached the host's buffer
};

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ProcessState() = ExtractProcessState{};
        archivePath = scratch / "archive.zip";
    }

    // Writes `bytes` as the archive and runs ProcessArchive on it with
    // `configure` applied to a fresh context (archive name, a 64 KiB text
    // buffer and the output directory are set beforehand; members named in
    // `names` select members as a command line would).
    template <typename Configure>
    EngineOutcome RunBytes(const std::string& bytes, Configure configure, const std::vector<std::string>& names = {}) {
        EXPECT_TRUE(test::WriteWholeFile(archivePath, bytes));
        return RunPath(archivePath, configure, names);
    }
    EngineOutcome RunBytes(const std::string& bytes, const std::vector<std::string>& names = {}) {
        return RunBytes(
            bytes, [](Cunzip&) {}, names);
    }
    // Test mode: every selected member is read and checked, nothing written.
    EngineOutcome TestBytes(const std::string& bytes, const std::vector<std::string>& names = {}) {
        return RunBytes(
            bytes, [](Cunzip& c) { c.options.test = 1; }, names);
    }
    EngineOutcome ListBytes(const std::string& bytes, int level, const std::vector<std::string>& names = {}) {
        return RunBytes(
            bytes, [level](Cunzip& c) { c.options.listLevel = level; }, names);
    }

    template <typename Configure>
    EngineOutcome RunPath(const std::string& path, Configure configure, const std::vector<std::string>& names = {}) {
        Cunzip context;
        EXPECT_TRUE(context.AllocateRunBuffers());
        context.archiveName = path;
        context.outputDirectory = scratch.WithSeparator();
        context.ArgumentList = {path, scratch.WithSeparator()};
        for (const std::string& n : names) context.ArgumentList.push_back(n);
        context.processAllMembers = names.empty() ? 1 : 0;
        std::vector<char> buffer(1 << 16, '\x7f');
        context.sinkPointer = buffer.data();
        context.sinkCapacity = static_cast<uint32_t>(buffer.size());
        configure(context);
        EngineOutcome outcome;
        outcome.result = context.ProcessArchive();
        if (context.sinkUsed > 0 && context.sinkUsed < buffer.size())
            outcome.text.assign(buffer.data(), context.sinkUsed);
        context.ReleaseRunBuffers();
        return outcome;
    }

    test::ScratchDir scratch;
    test::ScriptedUiHost ui;
    std::string archivePath;
};

}  // namespace tovra::extract::testing
