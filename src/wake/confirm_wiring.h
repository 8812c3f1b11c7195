// A wait for hosts to answer, wired once for one host and a list: around the echo exchange,
// the attempts of "/c", the MAC check, the table's places, the repeats and the status line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wake/confirm_schedule.h"
#include "wake/line_output.h"
#include "wake/machine_check.h"
#include "wake/progress_line.h"
#include "wake/run_settings.h"

namespace trolvane {

struct EchoExchange {
  // Sends the host's next echo request; raises what the socket raises.
  std::function<void(std::size_t index)> send;
  // The next answer within wait ms, matched to its host; none when nothing of ours came.
  std::function<std::optional<HostAnswer>(std::int32_t wait)> receive;
};

// The hosts of one wait, by index.
struct WaitHosts {
  std::vector<std::uint32_t> addresses;  // network order
  std::vector<std::vector<MachineCheck::Machine>> machines;
  // Routes already read (empty: read as answers come; else on-link hosts take table places).
  std::vector<std::optional<os::Route>> routes;
  int total = -1;  // the lines the status line counts ("12/40台"); -1 for one host
};

// "ホスト(HOST)の起動を確認しました。"
std::string ConfirmedLine(std::string_view host);
// Why a host was not confirmed: the other machine's answer when one came (other), else
// "(Pingタイムアウト)" or "(Pingエラー)".
std::string NotConfirmedReason(HostOutcome outcome, const std::string& other = {});

class ConfirmWiring {
 public:
  // confirmed: each line as soon as it is, after the status line is erased.
  ConfirmWiring(const RunSettings& settings, WaitHosts hosts, StatusWriter status,
                std::function<void(std::size_t line)> confirmed);

  // Each host's outcome by index. A failure of the socket layer (no ICMP socket where no
  // port can answer) ends the wait with every host a ping error; anything else (a line
  // that could not be written) passes on. wake_again: the magic packet again ("/r").
  std::vector<HostOutcome> Run(const EchoExchange& exchange,
                               const std::function<void(std::size_t index)>& wake_again);

  bool Confirmed(std::size_t line) const { return machine_.Confirmed(line); }
  int ConfirmedCount() const { return confirmed_; }
  std::string Reason(std::size_t line, HostOutcome outcome) const {
    return NotConfirmedReason(outcome, machine_.Reason(line));
  }

 private:
  const RunSettings& settings_;
  WaitHosts hosts_;
  ProgressLine progress_;
  int confirmed_ = 0;
  MachineCheck machine_;
};

}  // namespace trolvane
