// A dry run's plan: for each line, where its packets would go and how it would be
// confirmed, in one ASCII line; and the names that the plan and the JSON lines share.
#include "net/udp_socket.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "wake/report.h"

namespace trolvane {

std::string_view PathName(PathKind kind) {
  switch (kind) {
    case PathKind::kLink:
      return "link";
    case PathKind::kPlainLink:
      return "plain_link";
    case PathKind::kRouted:
      return "routed";
    default:
      return "unknown";
  }
}

std::string_view AsName(WakeSent::As as) {
  switch (as) {
    case WakeSent::As::kUnicast:
      return "unicast";
    case WakeSent::As::kLinkBroadcast:
      return "link_broadcast";
    default:
      return "directed_broadcast";
  }
}

std::string_view CauseName(Failure::Cause cause) {
  using Cause = Failure::Cause;
  switch (cause) {
    case Cause::kNameNotResolved:
      return "name_not_resolved";
    case Cause::kRefusedHost:
      return "refused_host";
    case Cause::kNoIcmpRights:
      return "no_icmp_rights";
    case Cause::kIcmpError:
      return "icmp_error";
    case Cause::kNoDescriptor:
      return "no_descriptor";
    default:
      return "send_failed";
  }
}

std::string_view SweepName(bool by_reply) { return by_reply ? "arp" : "probe"; }

// As the first round sends them: a datagram to the limited broadcast never goes, and a
// list line's identical datagrams go once ("/s:32" names the host alone).
std::vector<WakeSent> PlannedSends(const Roster& roster, std::size_t index) {
  const RosterLine& line = roster.lines[index];
  std::vector<WakeSent> sends;
  if (!line.mac || !line.to.host) return sends;
  using As = WakeSent::As;
  if (line.unicast) sends.push_back({*line.to.host, As::kUnicast});
  const bool again = line.unicast && line.number > 0 && line.broadcast == line.to.host;
  if (line.broadcast && NamesOneHost(*line.broadcast) && !again) {
    sends.push_back(
        {*line.broadcast, line.link_broadcast ? As::kLinkBroadcast : As::kDirectedBroadcast});
  }
  return sends;
}

std::string PlanText(const Roster& roster, std::size_t index, const ConfirmPlan& confirm) {
  const RosterLine& line = roster.lines[index];
  if (line.machine == kNoMachine) {
    return line.host + " - - -> nothing (" + std::string(CauseName(line.outcome.failure.cause)) +
           ") confirm: none";
  }
  std::string text = line.host + " " + DottedQuad(*line.to.host) + " " +
                     std::string(PathName(roster.machines[line.machine].path.kind)) + " ->";
  const std::vector<WakeSent> sends = PlannedSends(roster, index);
  for (std::size_t i = 0; i < sends.size(); ++i) {
    text += (i == 0 ? " " : ", ") + DottedQuad(sends[i].to) + " (" +
            std::string(AsName(sends[i].as)) + ")";
  }
  if (sends.empty()) text += " nothing";
  text += " confirm: echo";
  for (std::uint16_t port : confirm.ports) text += ", tcp " + IntToText(port);
  return text;
}

}  // namespace trolvane
