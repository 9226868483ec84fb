// code_page.h - switching the native build's ANSI code page inside a test.
//
// ScopedCodePage forces the code page (932 or 65001) for its lifetime and then
// returns to the one the environment chose. Natively this always works; on
// Windows the ANSI code page belongs to the system, so Active() tells whether
// the requested page is the one in force and a test should skip otherwise:
//
//     tovra::test::ScopedCodePage sjis(932);
//     if (!sjis.Active()) GTEST_SKIP() << "needs code page 932";
#pragma once

namespace tovra::test {

class ScopedCodePage {
public:
    explicit ScopedCodePage(int codePage);
    ~ScopedCodePage();
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;
    // True when the requested code page is in force.
    bool Active() const { return active_; }

private:
    bool active_ = false;
};

}  // namespace tovra::test
