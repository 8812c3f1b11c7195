#include "net/net_exceptions.h"

#include "platform/module.h"

namespace trolvane {
namespace {

std::string WithSystemText(const std::string& base_text, std::int32_t code) {
  return code == 0 ? base_text : base_text + ": " + SystemErrorText(code);
}

}  // namespace

std::string SystemErrorText(std::int32_t code) {
  if (code == 0) return {};
  std::string text = os::SystemErrorMessage(static_cast<std::uint32_t>(code));
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

ENetWS2StubError::ENetWS2StubError(std::string base_text, std::int32_t code)
    : ENetException(WithSystemText(base_text, code)),
      system_error_code_(code),
      system_error_text_(trolvane::SystemErrorText(code)),
      base_text_(std::move(base_text)) {}

}  // namespace trolvane
