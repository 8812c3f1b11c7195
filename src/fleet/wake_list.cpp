#include "fleet/wake_list.h"

#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "fleet/host_list.h"
#include "fleet/roll_call.h"
#include "net/datagram_sender.h"
#include "net/echo_socket.h"
#include "net/udp_socket.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/confirm_wiring.h"
#include "wake/destinations.h"
#include "wake/magic_packet.h"
#include "wake/pacer.h"

namespace trolvane {
namespace {

// Far beyond any room of PCs, and it keeps a file such as /dev/zero from eating memory.
constexpr std::size_t kListLimit = 16u << 20;
// Datagrams leave at least this far apart, so that a long list never overruns the
// socket's queue.
constexpr std::uint64_t kDatagramGapUs = 50;

std::string ReadList(const std::string& name) {
  std::string text;
  const bool read = name == "-" ? os::ReadStandardInput(kListLimit, &text)
                                : !name.empty() && os::ReadFileBytes(name, kListLimit, &text);
  if (!read) throw EArgsException(FillIn(msg::kListUnreadable, {name}));
  return os::ListTextToNative(std::move(text));
}

std::uint16_t ResolvePort(const std::string& text) {
  try {
    return static_cast<std::uint16_t>(TIpSocket::ResolvePortText(text));
  } catch (const std::exception& e) {
    throw EMagicPacketSendException(std::string(msg::kSendFailed) + e.what());
  }
}

// A host refused by the single-host rules gets nothing and is reported as a ping error.
Destinations Resolve(const ListedHost& listed) {
  try {
    return ResolveDestinations(listed.host, listed.mask_bits);
  } catch (const std::exception&) {
    return {};
  }
}

// Lines without mask bits on an attached link whose neighbour entry cannot take the
// unicast to the woken MAC also get their link's broadcast. routes: by host index.
void AddLinkBroadcasts(const std::vector<ListedHost>& hosts,
                       const std::vector<std::optional<std::size_t>>& target_of,
                       const std::vector<std::optional<os::Route>>& routes,
                       std::vector<Destinations>& to) {
  std::vector<LinkHost> link_hosts;
  std::vector<std::size_t> lines;
  for (std::size_t line = 0; line < hosts.size(); ++line) {
    if (!target_of[line] || hosts[line].mask_bits != kNoMaskBits) continue;
    link_hosts.push_back(
        {*to[line].host, TMagicPacket::MacOf(hosts[line].packet), routes[*target_of[line]]});
    lines.push_back(line);
  }
  const std::vector<std::optional<std::uint32_t>> broadcasts = LinkBroadcasts(link_hosts);
  for (std::size_t i = 0; i < lines.size(); ++i) to[lines[i]].broadcast = broadcasts[i];
}

// Each line's datagrams: to its host and, where it has one, to its broadcast address,
// paced; the first round sends identical datagrams once.
class PacketSender {
 public:
  PacketSender(const std::vector<ListedHost>& hosts, const std::vector<Destinations>& to,
               std::uint16_t port)
      : hosts_(hosts), to_(to), port_(port) {}

  // Whether every datagram of the line went out.
  bool Send(std::size_t line, bool first_round) {
    const Destinations& to = to_[line];
    if (!to.host) return false;
    bool ok = Datagram(*to.host, hosts_[line].packet, first_round);
    // The limited broadcast (mask bits 0) names no network: it is never sent to.
    if (to.broadcast && NamesOneHost(*to.broadcast)) {
      ok = Datagram(*to.broadcast, hosts_[line].packet, first_round) && ok;
    }
    return ok;
  }

 private:
  bool Datagram(std::uint32_t address, const MagicPacketBytes& packet, bool first_round) {
    if (first_round && !sent_.emplace(address, std::string(packet.begin(), packet.end())).second) {
      return true;
    }
    pacer_.PauseUntil(pacer_.NextSlot());
    const bool sent = sender_.SendTo(address, port_, packet.data(), kMagicPacketSize) == 0;
    pacer_.Sent();
    return sent;
  }

  const std::vector<ListedHost>& hosts_;
  const std::vector<Destinations>& to_;
  std::uint16_t port_;
  std::set<std::pair<std::uint32_t, std::string>> sent_;
  TDatagramSender sender_;
  Pacer pacer_{kDatagramGapUs, kNever};
};

}  // namespace

void TWakeList::Run() {
  const std::vector<ListedHost> hosts =
      ParseHostList(ReadList(ListName()), ListName(), Settings().mask_bits);
  const std::uint16_t port = ResolvePort(Settings().port_text);
  std::vector<Destinations> to;
  to.reserve(hosts.size());
  for (const ListedHost& host : hosts) to.push_back(Resolve(host));

  RollCall roll;
  std::vector<std::optional<std::size_t>> target_of(hosts.size());  // none: refused
  std::vector<std::vector<std::size_t>> lines_of;
  std::vector<std::vector<MachineCheck::Machine>> woken;
  for (std::size_t line = 0; line < hosts.size(); ++line) {
    if (!to[line].host) continue;
    const std::size_t index = roll.Add(*to[line].host);
    if (index == lines_of.size()) {
      lines_of.emplace_back();
      woken.emplace_back();
    }
    target_of[line] = index;
    lines_of[index].push_back(line);
    woken[index].push_back({line, TMagicPacket::MacOf(hosts[line].packet)});
  }
  std::vector<std::uint32_t> addresses;
  for (std::size_t i = 0; i < roll.Size(); ++i) addresses.push_back(roll.Address(i));
  // One batch of route reads serves the link's broadcasts, the table's places and the MAC check.
  const std::vector<std::optional<os::Route>> routes = os::RoutesTo(addresses);
  AddLinkBroadcasts(hosts, target_of, routes, to);
  PacketSender sender(hosts, to, port);
  std::vector<bool> delivered(hosts.size());
  for (std::size_t line = 0; line < hosts.size(); ++line) delivered[line] = sender.Send(line, true);

  const int total = static_cast<int>(hosts.size());
  ConfirmWiring wait(
      Settings(), {addresses, std::move(woken), routes, total}, Status(),
      [&](std::size_t line) { WriteCheckedLine(Writer(), ConfirmedLine(hosts[line].host)); });
  // One ICMP socket for the whole list: one stream of echo requests per address, however
  // many lines name it.
  TNetEchoSocket socket(addresses.size());
  const EchoExchange exchange{
      .send =
          [&](std::size_t index) {
            socket.SendRequest(roll.Address(index), roll.NextRequest(index));
          },
      .receive = [&](std::int32_t wait) -> std::optional<HostAnswer> {
        PacketView answer;
        if (!socket.Receive(wait, &answer)) return std::nullopt;
        const std::optional<std::size_t> index = roll.Match(answer);
        if (!index) return std::nullopt;
        return HostAnswer{*index, answer.kind == TReplyStatusKind::rkEchoReply};
      },
  };
  const std::vector<HostOutcome> outcomes = wait.Run(exchange, [&](std::size_t index) {
    for (std::size_t line : lines_of[index]) sender.Send(line, false);
  });

  for (std::size_t line = 0; line < hosts.size(); ++line) {
    const std::optional<std::size_t> target = target_of[line];
    if (target && wait.Confirmed(line)) continue;
    // A host whose packet could not be sent was never woken: not a time-out.
    const std::string reason = target && delivered[line] ? wait.Reason(line, outcomes[*target])
                                                         : NotConfirmedReason(HostOutcome::kError);
    WriteCheckedLine(Writer(), FillIn(msg::kHostNotConfirmed, {hosts[line].host}) + reason);
  }
  const int confirmed = wait.ConfirmedCount();
  const std::string summary = FillIn(msg::kListSummary, {IntToText(total), IntToText(confirmed)});
  if (confirmed < total) throw EBootFaultException(summary);
  WriteCheckedLine(Writer(), summary);
}

}  // namespace trolvane
