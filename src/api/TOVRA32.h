// TOVRA32.h - the library's single application object (see TOVRA32.cpp).
#pragma once

namespace tovra::api {

class CTOVRA32App {
public:
    CTOVRA32App();
    CTOVRA32App(const CTOVRA32App&) = delete;
    CTOVRA32App& operator=(const CTOVRA32App&) = delete;
};

// The one application object; built at library load.
CTOVRA32App& TheApp();

}  // namespace tovra::api
