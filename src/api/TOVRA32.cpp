// TOVRA32.cpp - the library's application object.
//
// CTOVRA32App exists once, from the moment the library is loaded until it is
// unloaded. It carries no behaviour of its own: it only marks the module
// whose resources (dialog templates, string table, icons) the dialogs and
// message texts come from. Nothing else runs at load time.
#include "api/TOVRA32.h"

namespace tovra::api {

CTOVRA32App::CTOVRA32App() = default;

CTOVRA32App& TheApp() {
    static CTOVRA32App app;
    return app;
}

namespace {
// Built when the library is loaded, like any static object of the module.
[[maybe_unused]] const CTOVRA32App& loadTimeApp = TheApp();
}  // namespace

}  // namespace tovra::api
