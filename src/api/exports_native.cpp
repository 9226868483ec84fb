// exports_native.cpp - the native build's additions to the interface.
//
// On Windows a host frees the memory block of UnzipExtractToMem with the
// system's GlobalLock / GlobalUnlock / GlobalSize / GlobalFree and answers the
// library's questions in real dialogs. Natively the blocks live in the
// library's own handle table, so the four Tovra* memory calls give a host
// access to them, and a host may install its own UiHost (a terminal, a test
// script) through TovraSetUiHost.
#ifndef _WIN32

#include "platform/platform.h"
#include "platform/ui_host.h"
#include "tovra.h"

namespace platform = tovra::platform;

extern "C" {

TOVRA_EXPORT void* TovraGlobalLock(TovraMemory block) { return platform::GlobalLock(block); }

TOVRA_EXPORT int TovraGlobalUnlock(TovraMemory block) { return platform::GlobalUnlock(block) ? 1 : 0; }

TOVRA_EXPORT size_t TovraGlobalSize(TovraMemory block) { return platform::GlobalSize(block); }

TOVRA_EXPORT TovraMemory TovraGlobalFree(TovraMemory block) { return platform::GlobalFree(block); }

TOVRA_EXPORT void* TovraSetUiHost(void* host) { return platform::SetUiHost(static_cast<platform::UiHost*>(host)); }

}  // extern "C"

#endif  // !_WIN32
