#include "net/socket_error_texts.h"

#include <array>

namespace trolvane {
namespace {

constexpr int kFirstCode = 10004;

// Texts for 10004..10066 in code order; the empty ones are codes without a text.
constexpr std::array<const char*, 63> kTexts = {
    "Interrupted system call.",  // 10004
    "",
    "",
    "",
    "",
    "Bad file number.",  // 10009
    "",
    "",
    "",
    "Access denied.",  // 10013
    "Bad address.",    // 10014
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "Invalid argument.",  // 10022
    "",
    "Too many open files.",  // 10024
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "Operation would block. ",                           // 10035
    "Operation now in progress.",                        // 10036
    "Operation already in progress.",                    // 10037
    "Socket operation on non-socket.",                   // 10038
    "Destination address required.",                     // 10039
    "Message too long.",                                 // 10040
    "Protocol wrong type for socket.",                   // 10041
    "Bad protocol option.",                              // 10042
    "Protocol not supported.",                           // 10043
    "Socket type not supported.",                        // 10044
    "Operation not supported on socket.",                // 10045
    "Protocol family not supported.",                    // 10046
    "Address family not supported by protocol family.",  // 10047
    "Address already in use.",                           // 10048
    "Cannot assign requested address.",                  // 10049
    "Network is down.",                                  // 10050
    "Network is unreachable.",                           // 10051
    "Net dropped connection or reset.",                  // 10052
    "Software caused connection abort.",                 // 10053
    "Connection reset by peer.",                         // 10054
    "No buffer space available.",                        // 10055
    "Socket is already connected.",                      // 10056
    "Socket is not connected.",                          // 10057
    "Cannot send or receive after socket is closed.",    // 10058
    "Too many references, cannot splice.",               // 10059
    "Connection timed out.",                             // 10060
    "Connection refused.",                               // 10061
    "Too many levels of symbolic links.",                // 10062
    "File name too long.",                               // 10063
    "Host is down.",                                     // 10064
    "No route to host.",                                 // 10065
    "Directory not empty",                               // 10066
};

}  // namespace

std::string_view SocketErrorText(int code) {
  if (code < kFirstCode || code >= kFirstCode + static_cast<int>(kTexts.size())) return {};
  return kTexts[static_cast<std::size_t>(code - kFirstCode)];
}

std::string FormatSocketError(int code, std::string_view text) {
  return "Socket Error # " + std::to_string(code) + "\r\n" + std::string(text);
}

}  // namespace trolvane
