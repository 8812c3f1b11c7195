// The program's own error family, each kind with its exit status: the driver turns what a
// run raises into one line and the status of its kind.
#pragma once

#include "text/exception.h"

namespace trolvane {

class ETrolvaneException : public Exception {
 public:
  using Exception::Exception;

 protected:
  ~ETrolvaneException() override = default;  // never raised by itself
};

// An unusable MAC or host text (status 2).
class EArgsException : public ETrolvaneException {
 public:
  using ETrolvaneException::ETrolvaneException;
};

// Sending one datagram failed (status 3).
class EMagicPacketSendException : public ETrolvaneException {
 public:
  using ETrolvaneException::ETrolvaneException;
};

// Start-up not confirmed by ping (status 5).
class EBootFaultException : public ETrolvaneException {
 public:
  using ETrolvaneException::ETrolvaneException;
};

}  // namespace trolvane
