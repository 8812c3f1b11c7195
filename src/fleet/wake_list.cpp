#include "fleet/wake_list.h"

#include <utility>
#include <vector>

#include "fleet/host_list.h"
#include "net/udp_socket.h"
#include "platform/files.h"
#include "platform/text.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/destinations.h"
#include "wake/magic_packet.h"
#include "wake/roster.h"
#include "wake/socket_wire.h"

namespace trolvane {
namespace {

// Far beyond any room of PCs, and it keeps a file such as /dev/zero from eating memory.
constexpr std::size_t kListLimit = 16u << 20;

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

// A host refused by the single-host rules, or whose name resolves to nothing, gets
// nothing and ends in error, with the reason.
RosterLine LineOf(const ListedHost& listed) {
  RosterLine line;
  line.host = listed.host;
  line.number = listed.line;
  line.mac = listed.mac;
  line.mask_bits = listed.mask_bits;
  try {
    line.to = ResolveDestinations(listed.host, listed.mask_bits);
    if (!line.to.host) {
      line.outcome = Outcome::Error({Failure::Cause::kNameNotResolved, os::kWsaHostNotFound});
    }
  } catch (const std::exception& e) {
    line.outcome = Outcome::Error({Failure::Cause::kRefusedHost, 0, e.what()});
  }
  return line;
}

}  // namespace

void TWakeList::Run() {
  const std::vector<ListedHost> hosts =
      ParseHostList(ReadList(ListName()), ListName(), Settings().mask_bits);
  const std::uint16_t port = ResolvePort(Settings().port_text);
  std::vector<RosterLine> lines;
  lines.reserve(hosts.size());
  for (const ListedHost& host : hosts) lines.push_back(LineOf(host));
  Roster roster(std::move(lines));
  // One ICMP socket for the whole list: one stream of echo requests per address, however
  // many lines name it.
  SocketExchange echo(roster.machines.size());
  const int total = static_cast<int>(hosts.size());
  WaitOnSockets(roster, echo, Settings(), port, Status(), total, [&](std::size_t line) {
    WriteCheckedLine(Writer(), ConfirmedLine(roster.lines[line].host));
  });
  for (std::size_t line = 0; line < roster.lines.size(); ++line) {
    if (roster.lines[line].outcome.Confirmed()) continue;
    WriteCheckedLine(Writer(), FillIn(msg::kHostNotConfirmed, {roster.lines[line].host}) +
                                   NotConfirmedReason(roster, line));
  }
  const int confirmed = static_cast<int>(roster.Confirmed());
  const std::string summary = FillIn(msg::kListSummary, {IntToText(total), IntToText(confirmed)});
  if (confirmed < total) throw EBootFaultException(summary);
  WriteCheckedLine(Writer(), summary);
}

}  // namespace trolvane
