#include "wake/confirm_wiring.h"

#include "net/net_exceptions.h"
#include "platform/neighbours.h"
#include "platform/process.h"
#include "text/messages.h"
#include "wake/port_attempts.h"

namespace trolvane {

std::string ConfirmedLine(std::string_view host) {
  return std::string(msg::kBootConfirmedBefore) + std::string(host) + msg::kBootConfirmedAfter;
}

std::string NotConfirmedReason(HostOutcome outcome, const std::string& other) {
  if (!other.empty()) return other;
  return outcome == HostOutcome::kTimedOut ? msg::kPingTimeoutReason : msg::kPingErrorReason;
}

ConfirmWiring::ConfirmWiring(const RunSettings& settings, WaitHosts hosts, StatusWriter status,
                             std::function<void(std::size_t line)> confirmed)
    : settings_(settings),
      hosts_(std::move(hosts)),
      progress_(std::move(status)),
      machine_(settings.mac_check, hosts_.addresses, std::move(hosts_.machines),
               [this, confirmed = std::move(confirmed)](std::size_t line) {
                 progress_.Erase();
                 ++confirmed_;
                 if (confirmed) confirmed(line);
               }) {
  if (!hosts_.routes.empty()) machine_.KnowRoutes(hosts_.routes);
}

std::vector<HostOutcome> ConfirmWiring::Run(
    const EchoExchange& exchange, const std::function<void(std::size_t index)>& wake_again) {
  const std::size_t count = hosts_.addresses.size();
  if (count == 0) return {};
  PortAttempts attempts(settings_.probe_ports, hosts_.addresses);
  ConfirmSeams seams;
  seams.send = [&](std::size_t index) {
    if (attempts.IcmpIsLost()) return false;
    try {
      exchange.send(index);
      return true;
    } catch (const ENetInvalidSocket&) {
      // Without a socket no host can be asked, unless a port can answer.
      if (!attempts.Any()) throw;
      attempts.IcmpLost();
      return false;
    } catch (const ENetException&) {
      return false;
    }
  };
  if (attempts.Any()) {
    seams.probe = [&](std::size_t index, std::size_t port) { attempts.Start(index, port); };
  }
  seams.receive = [&](std::int32_t wait) { return attempts.Receive(wait, exchange.receive); };
  seams.wake_again = wake_again;
  seams.own_machine = [this](std::size_t i, bool read) { return machine_.Judge(i, read); };
  seams.settle = [this](bool force) { return machine_.Settle(force); };
  const std::int64_t budget = settings_.ping_timeout > 0 ? settings_.ping_timeout : -1;
  seams.waiting = [&](std::uint64_t elapsed) {
    progress_.Show(elapsed, budget, confirmed_, hosts_.total);
  };
  // Each on-link address asked takes an entry in the system's bounded neighbour table.
  if (!hosts_.routes.empty()) {
    seams.needs_place = [&](std::size_t i) {
      return hosts_.routes[i] && hosts_.routes[i]->via == os::Route::Via::kLink;
    };
    seams.places = {os::NeighbourTableLimit(), os::NeighboursHeld};
  }
  std::vector<HostOutcome> outcomes;
  try {
    outcomes = ConfirmHosts(count, settings_.ping_timeout, seams, 1 + settings_.probe_ports.size(),
                            settings_.send_count);
  } catch (const ENetException&) {
    outcomes.assign(count, HostOutcome::kError);
  }
  progress_.Erase();
  return outcomes;
}

}  // namespace trolvane
