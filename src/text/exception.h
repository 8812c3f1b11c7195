// The base of every error the program raises: a message text, nothing else.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace trolvane {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Raised by TextToInt for a text that is no integer.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace trolvane
