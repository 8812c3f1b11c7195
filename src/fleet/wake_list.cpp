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
#include "wake/errors.h"
#include "wake/report.h"
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
      line.outcome = Outcome::Error({Failure::Cause::kNameNotResolved, line.to.lookup_error});
    }
  } catch (const std::exception& e) {
    line.refusal = e.what();
    line.outcome = Outcome::Error({Failure::Cause::kRefusedHost});
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
  if (DryRun()) return Results().Plan(roster, {Settings().probe_ports});
  roster.begun_us = Results().begun_us;
  // One ICMP socket for the whole list: one stream of echo requests per address, however
  // many lines name it.
  SocketExchange echo(roster.machines.size());
  WaitOnSockets(roster, echo, Settings(), port, Status(), static_cast<int>(hosts.size()),
                [&](std::size_t line) { Results().Line(roster, line); });
  for (std::size_t line = 0; line < roster.lines.size(); ++line) {
    if (!roster.lines[line].outcome.Confirmed()) Results().Line(roster, line);
  }
  const bool all = roster.Confirmed() == roster.lines.size();
  Results().Summary(roster, all ? 0 : 5);
  if (!all) throw EBootFaultException(SummaryText(roster));
}

}  // namespace trolvane
