// A status line on standard error, rewritten in place while the program waits; only
// where standard error is a terminal (a console on Windows).
#pragma once

#include <string_view>

namespace os {

bool StandardErrorIsTerminal();

// Replaces the status line with the text; the empty text erases it. The cursor stays on
// that line, so a line written next starts where the status line was.
void ShowStatusLine(std::string_view text);

}  // namespace os
