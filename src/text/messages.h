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
extern const char* const kBadMaskBits;
extern const char* const kBadProbePorts;
extern const char* const kBadSendCount;     // "/r"
extern const char* const kBadOutputFormat;  // "/o"
extern const char* const kBootConfirmedBefore;
extern const char* const kBootConfirmedAfter;

// The host list; "%s" marks are filled in order (FillIn).
extern const char* const kListUnreadable;        // list name
extern const char* const kListEmpty;             // list name
extern const char* const kListBadLine;           // list name, line number; the reason follows
extern const char* const kListFieldCount;        // a reason
extern const char* const kListMaskBits;          // a reason
extern const char* const kListControlCharacter;  // a reason
extern const char* const kHostNotConfirmed;      // host; a ping reason follows
extern const char* const kPingTimeoutReason;
extern const char* const kPingErrorReason;
extern const char* const kListSummary;  // hosts in the list, hosts confirmed

// The MAC check: "/v", and the reason when another machine answered for the host.
extern const char* const kBadMacCheck;
extern const char* const kBootNotConfirmed;      // a reason follows
extern const char* const kAnotherMachineReason;  // the MAC that answered

// Learning a room ("/l").
extern const char* const kBadLearnRange;
extern const char* const kLearnComment;   // range, machines listed, local date and time
extern const char* const kLearnUnasked;   // range, addresses the link would not take a request for
extern const char* const kLearnUnrouted;  // range, addresses whose route could not be read

// The status line while the program waits.
extern const char* const kProgressChecking;
extern const char* const kProgressHosts;      // confirmed, all
extern const char* const kProgressRemaining;  // seconds
extern const char* const kProgressElapsed;    // seconds
extern const char* const kProgressLearning;   // "hosts" follows: addresses asked, all

}  // namespace trolvane::msg
