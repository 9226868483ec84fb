// device_names.cpp - the Windows device names (CON, NUL, COM1, ...) that open
// a device wherever they stand in a path, so a member named "con.txt" must
// never be written under that name on Windows.
#include <cctype>
#include <string>

#include "platform/platform.h"

namespace tovra::platform {

bool IsWindowsDeviceName(const std::string& component) {
    // Windows ignores trailing dots and spaces, and the device wins whatever
    // extension follows: the base name is the text before the first dot.
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    std::string upper;
    for (char c : base) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
    return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

bool IsReservedDeviceName(const std::string& component) {
#ifdef _WIN32
    return IsWindowsDeviceName(component);
#else
    (void)component;
    return false;
#endif
}

}  // namespace tovra::platform
