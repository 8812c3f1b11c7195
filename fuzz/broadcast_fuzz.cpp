// The broadcast rule. Input: the mask-bit count (four bytes, least significant first),
// then the host text. A count outside 0..32 always fails; within it, whether it fails,
// and how, does not depend on the count, and a result is four octets that keep the host's
// network part and set every host bit, so it equals the /32 result (the address itself)
// with the host bits of the count added.
#include <string>

#include "fuzz_check.h"
#include "text/exception.h"
#include "text/int_convert.h"
#include "text/string_list.h"
#include "wake/broadcast_address.h"
#include "wake/magic_packet.h"

namespace {

using trolvane::TMagicPacket;

enum class Outcome { kAddress, kArgs, kConvert };

struct Result {
  Outcome outcome;
  std::string text;  // the address, or the error's message
};

Result Broadcast(std::string_view host, std::int32_t bits) {
  TMagicPacket job([](std::string_view) { return true; });
  job.SetHostAddress(std::string(host));
  job.SetMaskBits(bits);
  try {
    return {Outcome::kAddress, job.GetBroadcastAddress()};
  } catch (const trolvane::EArgsException& e) {
    return {Outcome::kArgs, e.Message()};
  } catch (const trolvane::EConvertError& e) {
    return {Outcome::kConvert, e.Message()};
  }
}

// The four octets as one number; the text must be exactly four decimal octets.
std::uint32_t AddressValue(const std::string& text) {
  trolvane::TStringList octets;
  octets.SplitFields(text, '.');
  FUZZ_CHECK(octets.LineCount() == 4);
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    std::optional<std::int32_t> octet = trolvane::ParseInteger(octets.LineAt(i));
    FUZZ_CHECK(octet && *octet >= 0 && *octet <= 255);
    FUZZ_CHECK(trolvane::IntToText(*octet) == octets.LineAt(i));
    value = value << 8 | static_cast<std::uint32_t>(*octet);
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  auto bits = static_cast<std::int32_t>(static_cast<std::uint32_t>(data[0]) | data[1] << 8 |
                                        data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24);
  std::string_view host = trolvane::fuzz::AsText(data + 4, size - 4);

  Result result = Broadcast(host, bits);
  if (bits < 0 || bits > 32) {
    FUZZ_CHECK(result.outcome == Outcome::kArgs);
    return 0;
  }
  Result narrow = Broadcast(host, 32);  // the address itself
  FUZZ_CHECK(result.outcome == narrow.outcome);
  if (result.outcome != Outcome::kAddress) {
    FUZZ_CHECK(result.text == narrow.text);
    return 0;
  }
  const auto host_bits = static_cast<std::uint32_t>(0xFFFFFFFFull >> bits);
  FUZZ_CHECK(AddressValue(result.text) == (AddressValue(narrow.text) | host_bits));
  // The result is a host text of its own, and its broadcast address is itself; but for
  // 255.255.255.255, which the address parser cannot tell from a failure.
  if (result.text != "255.255.255.255") {
    FUZZ_CHECK(Broadcast(result.text, bits).text == result.text);
  }
  return 0;
}
