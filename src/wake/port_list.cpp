#include "wake/port_list.h"

#include <algorithm>
#include <exception>
#include <string>

#include "net/udp_socket.h"

namespace trolvane {

std::optional<std::vector<std::uint16_t>> ParsePortList(std::string_view text) {
  std::vector<std::uint16_t> ports;
  std::size_t items = 0;
  for (std::size_t start = 0; start <= text.size(); ++items) {
    std::size_t end = std::min(text.find(',', start), text.size());
    const std::string item(text.substr(start, end - start));
    start = end + 1;
    if (item.empty() || items == kMostProbePorts) return std::nullopt;
    std::int32_t port = 0;
    try {
      port = TIpSocket::ResolvePortText(item);  // the rule of "/p"
    } catch (const std::exception&) {
      return std::nullopt;
    }
    if (port < 1 || port > 65535) return std::nullopt;
    if (std::find(ports.begin(), ports.end(), port) == ports.end()) {
      ports.push_back(static_cast<std::uint16_t>(port));
    }
  }
  return ports;
}

}  // namespace trolvane
