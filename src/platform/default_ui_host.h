// default_ui_host.h - what the platform implementations need to know about
// the host in force.
#pragma once

namespace tovra::platform {

// True while no host has been installed with SetUiHost, i.e. the library's own
// non-blocking default answers. The Windows build shows real message boxes
// then, and lets an installed host (a test, a console tool) answer otherwise.
bool IsDefaultUiHostInForce();

}  // namespace tovra::platform
