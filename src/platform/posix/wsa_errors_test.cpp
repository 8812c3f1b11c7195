#include "platform/posix/wsa_errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

namespace os {
namespace {

TEST(WsaErrors, ErrnoBecomesTheWindowsSocketsCode) {
  const int cases[][2] = {
      {EINTR, 10004},        {EPERM, 10013},        {EACCES, 10013},     {EAGAIN, 10035},
      {EMSGSIZE, 10040},     {ENOPROTOOPT, 10042},  {EADDRINUSE, 10048}, {ENETUNREACH, 10051},
      {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},  {ENOMEM, 10055},
      {EPIPE, 10058},        {EDOM, 10022},
  };
  for (const auto& c : cases) EXPECT_EQ(WsaErrorFromErrno(c[0]), c[1]) << c[0];
}

TEST(WsaErrors, ResolverErrorsBecomeTheWindowsSocketsCode) {
  const int cases[][2] = {
      {HOST_NOT_FOUND, 11001}, {TRY_AGAIN, 11002},      {NO_RECOVERY, 11003},
      {NO_DATA, 11004},        {NETDB_INTERNAL, 11003},
  };
  for (const auto& c : cases) EXPECT_EQ(WsaErrorFromHerrno(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace os
