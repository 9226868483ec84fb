// code_page.cpp - ScopedCodePage: a test's temporary choice of code page.
#include "support/code_page.h"

#include "platform/testing_hooks.h"

namespace tovra::test {

ScopedCodePage::ScopedCodePage(int codePage) : active_(platform::OverrideCodePageForTesting(codePage)) {}

ScopedCodePage::~ScopedCodePage() { platform::OverrideCodePageForTesting(0); }

}  // namespace tovra::test
