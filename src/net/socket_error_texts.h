// The English texts of the Windows Sockets error codes 10004 to 10066, and the one form
// of the message of a failed socket call.
#pragma once

#include <string>
#include <string_view>

namespace trolvane {

// Empty for a code without a text.
std::string_view SocketErrorText(int code);
// The message of a failed socket call: "Socket Error # <code>" CR LF and the text.
std::string FormatSocketError(int code, std::string_view text);

}  // namespace trolvane
