#include "fleet/host_list.h"

#include <algorithm>
#include <optional>

#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/magic_packet.h"

namespace trolvane {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsSeparator(line[at])) ++at;
    std::size_t end = at;
    while (end < line.size() && !IsSeparator(line[end])) ++end;
    if (end > at) fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

// The reason a line is no host, or the host it describes.
std::optional<std::string> ReadLine(std::string_view line, std::int32_t default_bits,
                                    ListedHost* host) {
  // Echoed into a reason, a NUL or an escape sequence would reach the user's terminal.
  const auto is_control = [](char c) {
    return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7F';
  };
  if (std::any_of(line.begin(), line.end(), is_control)) {
    return std::string(msg::kListControlCharacter);
  }
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() < 2 || fields.size() > 3) return std::string(msg::kListFieldCount);
  std::string mac(fields[0]);
  std::replace(mac.begin(), mac.end(), ':', '-');
  try {
    host->mac = TMagicPacket::ParseMac(mac);
  } catch (const EArgsException&) {
    return msg::kMacAddressError + std::string(fields[0]);
  }
  host->host = std::string(fields[1]);
  host->mask_bits = default_bits;
  if (fields.size() == 3) {
    const std::optional<std::int32_t> bits = ParseInteger(fields[2]);
    if (!bits) return FillIn(msg::kNotInteger, {fields[2]});
    if (!IsMaskBits(*bits)) return std::string(msg::kListMaskBits);
    host->mask_bits = *bits;
  }
  return std::nullopt;
}

}  // namespace

std::vector<ListedHost> ParseHostList(std::string_view text, std::string_view list_name,
                                      std::int32_t default_bits) {
  std::vector<ListedHost> hosts;
  // An editor's UTF-8 byte order mark is no part of the first line.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') continue;
    ListedHost host;
    host.line = number;
    if (std::optional<std::string> reason = ReadLine(line, default_bits, &host)) {
      throw EArgsException(FillIn(msg::kListBadLine, {list_name, IntToText(number)}) + *reason);
    }
    hosts.push_back(std::move(host));
  }
  if (hosts.empty()) throw EArgsException(FillIn(msg::kListEmpty, {list_name}));
  return hosts;
}

}  // namespace trolvane
