// The one place where errno and h_errno become Windows Sockets codes.
#pragma once

namespace os {

int WsaErrorFromErrno(int error);
int WsaErrorFromHerrno(int error);

}  // namespace os
