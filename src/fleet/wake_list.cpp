#include "fleet/wake_list.h"

#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fleet/confirm_all.h"
#include "fleet/host_list.h"
#include "net/datagram_sender.h"
#include "net/echo_socket.h"
#include "net/net_exceptions.h"
#include "net/udp_socket.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/broadcast_address.h"
#include "wake/magic_packet.h"
#include "wake/progress_line.h"

namespace trolvane {
namespace {

// Far beyond any room of PCs, and it keeps a file such as /dev/zero from eating memory.
constexpr std::size_t kListLimit = 16u << 20;
// The magic packets leave at most this many a millisecond, so that a long list never
// overruns the socket's queue.
constexpr std::uint64_t kDatagramsPerMs = 20;

std::string ReadList(const std::string& name) {
  std::string text;
  const bool read = name == "-" ? os::ReadStandardInput(kListLimit, &text)
                                : !name.empty() && os::ReadFileBytes(name, kListLimit, &text);
  if (!read) throw EArgsException(FillIn(msg::kListUnreadable, {name}));
  return text;
}

std::uint16_t ResolvePort(const std::string& text) {
  try {
    return static_cast<std::uint16_t>(TIpSocket::ResolvePortText(text));
  } catch (const std::exception& e) {
    throw EMagicPacketSendException(std::string(msg::kSendFailed) + e.what());
  }
}

// Where one host's datagrams go; no unicast address when the host is refused (it names
// no address, or 0.0.0.0, or its broadcast address cannot be derived).
struct Destinations {
  std::optional<std::uint32_t> host;
  std::optional<std::uint32_t> broadcast;
};

Destinations Resolve(const ListedHost& listed) {
  Destinations to;
  std::optional<std::uint32_t> host = TIpSocket::ResolveHostAddress(listed.host);
  if (!host || *host == 0) return to;
  if (listed.mask_bits != -1) {
    if (HasFieldOutOfRange(listed.host)) return to;
    try {
      // 255.255.255.255 (mask bits 0 or 32) names no address and is never sent to.
      to.broadcast =
          TIpSocket::ResolveHostAddress(DirectedBroadcast(listed.host, listed.mask_bits));
    } catch (const std::exception&) {
      return to;
    }
  }
  to.host = host;
  return to;
}

// Identical datagrams go once; the others leave paced.
void SendPackets(const std::vector<ListedHost>& hosts, const std::vector<Destinations>& to,
                 std::uint16_t port) {
  std::set<std::pair<std::uint32_t, std::string>> sent;
  TDatagramSender sender;
  const std::uint32_t start = os::TickCount();
  std::uint64_t count = 0;
  auto send = [&](std::uint32_t address, const MagicPacketBytes& packet) {
    std::string bytes(packet.begin(), packet.end());
    if (!sent.emplace(address, std::move(bytes)).second) return;
    while (count >= (TickDiff(start, os::TickCount()) + 1) * kDatagramsPerMs) os::Sleep(1);
    sender.SendTo(address, port, packet.data(), kMagicPacketSize);  // a failure sends nothing
    ++count;
  };
  for (std::size_t i = 0; i < hosts.size(); ++i) {
    if (to[i].host) send(*to[i].host, hosts[i].packet);
    if (to[i].host && to[i].broadcast) send(*to[i].broadcast, hosts[i].packet);
  }
}

std::string Dotted(std::uint32_t address) {
  AddressBytes bytes{};
  std::memcpy(bytes.data(), &address, bytes.size());
  return DottedQuad(bytes);
}

// One stream of echo requests per address, however many lines name it.
struct Targets {
  std::vector<std::uint32_t> addresses;
  std::vector<std::optional<std::size_t>> of_line;  // none for a refused host
  std::vector<std::vector<std::size_t>> lines_of;
};

Targets GroupByAddress(const std::vector<Destinations>& to) {
  Targets targets;
  std::unordered_map<std::uint32_t, std::size_t> index;
  for (std::size_t line = 0; line < to.size(); ++line) {
    targets.of_line.emplace_back();
    if (!to[line].host) continue;
    auto [it, added] = index.emplace(*to[line].host, targets.addresses.size());
    if (added) {
      targets.addresses.push_back(*to[line].host);
      targets.lines_of.emplace_back();
    }
    targets.of_line[line] = it->second;
    targets.lines_of[it->second].push_back(line);
  }
  return targets;
}

// Confirms the addresses over one ICMP socket. When the socket fails, every address that
// has not answered by then is a ping error.
std::vector<AddressOutcome> AskAll(const std::vector<std::uint32_t>& addresses,
                                   std::int32_t timeout,
                                   const std::function<void(std::size_t)>& answered,
                                   const std::function<void(std::uint64_t)>& waiting) {
  std::vector<AddressOutcome> outcomes(addresses.size(), AddressOutcome::kError);
  if (addresses.empty()) return outcomes;
  TNetEchoSocket socket;  // a failure to create it passes on unchanged
  const ConfirmAllSeams seams{
      .clock = os::TickCount,
      .send =
          [&](std::uint32_t address, std::uint16_t sequence) {
            try {
              socket.SendRequest(Dotted(address), sequence);
              return true;
            } catch (const ENetInvalidSocket&) {
              throw;  // without a socket no address can be asked
            } catch (const ENetException&) {
              return false;
            }
          },
      .receive = [&](std::int32_t wait) -> std::optional<PacketView> {
        PacketView answer;
        if (socket.Receive(wait, &answer)) return answer;
        return std::nullopt;
      },
      .confirmed =
          [&](std::size_t index) {
            outcomes[index] = AddressOutcome::kConfirmed;
            answered(index);
          },
      .waiting = waiting,
  };
  try {
    return ConfirmAll(addresses, timeout, seams);
  } catch (const ENetException&) {
    return outcomes;
  }
}

}  // namespace

TWakeList::TWakeList(LineWriter write, StatusWriter status)
    : write_(std::move(write)), status_(std::move(status)) {}

void TWakeList::Run() {
  const std::vector<ListedHost> hosts = ParseHostList(ReadList(ListName()), ListName(), MaskBits());
  const std::uint16_t port = ResolvePort(PortText());
  std::vector<Destinations> to;
  to.reserve(hosts.size());
  for (const ListedHost& host : hosts) to.push_back(Resolve(host));
  SendPackets(hosts, to, port);

  const Targets targets = GroupByAddress(to);
  const int total = static_cast<int>(hosts.size());
  int confirmed = 0;
  ProgressLine progress(status_);  // gone, and so erased, before any error line
  const std::int64_t budget = PingTimeout() > 0 ? PingTimeout() : -1;
  const std::vector<AddressOutcome> outcomes = AskAll(
      targets.addresses, PingTimeout(),
      [&](std::size_t index) {
        progress.Erase();
        for (std::size_t line : targets.lines_of[index]) {
          WriteCheckedLine(write_, std::string(msg::kBootConfirmedBefore) + hosts[line].host +
                                       msg::kBootConfirmedAfter);
          ++confirmed;
        }
      },
      [&](std::uint64_t elapsed) { progress.Show(elapsed, budget, confirmed, total); });
  progress.Erase();

  for (std::size_t line = 0; line < hosts.size(); ++line) {
    const std::optional<std::size_t> target = targets.of_line[line];
    const AddressOutcome outcome = target ? outcomes[*target] : AddressOutcome::kError;
    if (outcome == AddressOutcome::kConfirmed) continue;
    WriteCheckedLine(write_, FillIn(msg::kHostNotConfirmed, {hosts[line].host}) +
                                 (outcome == AddressOutcome::kTimedOut ? msg::kPingTimeoutReason
                                                                       : msg::kPingErrorReason));
  }
  const std::string summary = FillIn(msg::kListSummary, {IntToText(total), IntToText(confirmed)});
  if (confirmed < total) throw EBootFaultException(summary);
  WriteCheckedLine(write_, summary);
}

}  // namespace trolvane
