// message_caption.h - the caption of every message box the extraction engine
// shows (errors, warnings and questions about members and directories).
#pragma once

namespace tovra::extract {

inline constexpr const char* kMessageCaption = "TOVRA64";

}  // namespace tovra::extract
