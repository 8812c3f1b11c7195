// The program's own Japanese texts. messages.cpp is stored in UTF-8; the Windows build
// compiles it to code page 932, so these are the bytes the program writes.
#pragma once

namespace trolvane::msg {

inline constexpr int kUsageLineCount = 19;
extern const char* const kUsageScreen[kUsageLineCount];

extern const char* const kTooFewArguments;
extern const char* const kUnexpectedError;
extern const char* const kWriteFailed;
extern const char* const kNotInteger;  // holds "%s"
extern const char* const kMacAddressError;
extern const char* const kSendFailed;
extern const char* const kBadHostAddress;
extern const char* const kBootConfirmedBefore;
extern const char* const kBootConfirmedAfter;
extern const char* const kBootPingTimeout;
extern const char* const kBootPingError;

}  // namespace trolvane::msg
