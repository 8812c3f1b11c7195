// The socket layer's exception tree. Every class carries its message text; only
// ENetSocketError and ENetWS2StubError add data.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "text/exception.h"

namespace trolvane {

class ENetException : public Exception {
 public:
  using Exception::Exception;
};

class ENetSilentException : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetConnClosedGracefully : public ENetSilentException {
 public:
  ENetConnClosedGracefully() : ENetSilentException("Connection Closed Gracefully.") {}
};

class ENetInvalidServiceName : public ENetException {
 public:
  explicit ENetInvalidServiceName(const std::string& name)
      : ENetException(name + " is not a valid service.") {}
};

class ENetInvalidSocket : public ENetException {
 public:
  ENetInvalidSocket() : ENetException("Cannot allocate socket.") {}
};

// A failed socket call: the Windows Sockets code and its text.
class ENetSocketError : public ENetException {
 public:
  ENetSocketError(std::int32_t code, std::string message)
      : ENetException(std::move(message)), error_code_(code) {}
  std::int32_t ErrorCode() const { return error_code_; }

 private:
  std::int32_t error_code_;
};

class ENetIcmpException : public ENetException {
 public:
  using ENetException::ENetException;
};

// The run-time binding failed: the library did not load, or a function was called
// before it was loaded (or is not exported by it).
class ENetWS2StubError : public ENetException {
 public:
  // Message: base_text, then ": " and the system's text for the code unless it is 0.
  ENetWS2StubError(std::string base_text, std::int32_t code);
  std::int32_t SystemErrorCode() const { return system_error_code_; }
  const std::string& SystemErrorText() const { return system_error_text_; }
  const std::string& BaseText() const { return base_text_; }

 private:
  std::int32_t system_error_code_;
  std::string system_error_text_;
  std::string base_text_;
};

class ENetStackError : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetStackInitializationFailed : public ENetStackError {
 public:
  ENetStackInitializationFailed() : ENetStackError("Winsock Initialization Error.") {}
};

class ENetStackSetSizeExceeded : public ENetStackError {
 public:
  ENetStackSetSizeExceeded() : ENetStackError("Set Size Exceeded.") {}
};

class ENetSocketHandleError : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetPackageSizeTooBig : public ENetSocketHandleError {
 public:
  ENetPackageSizeTooBig() : ENetSocketHandleError("Package Size Too Big.") {}
};

class ENetNotAllBytesSent : public ENetSocketHandleError {
 public:
  ENetNotAllBytesSent() : ENetSocketHandleError("Not all bytes sent.") {}
};

// The system's text for a Windows error code, trimmed of trailing control characters,
// blanks and periods; empty for code 0.
std::string SystemErrorText(std::int32_t code);

}  // namespace trolvane
