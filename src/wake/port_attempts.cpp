#include "wake/port_attempts.h"

#include <algorithm>

#include "platform/process.h"

namespace trolvane {
namespace {

// How long an ICMP wait may keep a finished attempt unheard.
constexpr std::int32_t kSliceMs = 10;

}  // namespace

PortAttempts::PortAttempts(std::vector<std::uint16_t> ports,
                           const std::vector<std::uint32_t>& addresses)
    : ports_(std::move(ports)), addresses_(addresses) {
  if (ports_.empty()) return;
  for (std::size_t i = 0; i < addresses_.size(); ++i) index_of_.emplace(addresses_[i], i);
  prober_ = std::make_unique<TTcpProber>();
}

PortAttempts::~PortAttempts() = default;

void PortAttempts::Collect(std::int32_t timeout) {
  finished_.clear();
  prober_->Poll(timeout, &finished_);
  for (const ProbeResult& result : finished_) {
    if (!Confirms(result.outcome)) continue;
    auto it = index_of_.find(result.address);
    if (it != index_of_.end()) heard_.push_back({it->second, true});
  }
}

std::optional<HostAnswer> PortAttempts::Receive(std::int32_t timeout, const IcmpReceive& icmp) {
  if (prober_ != nullptr && heard_.empty()) {
    if (icmp_lost_) {
      // Nothing else to hear: the attempts' own wait, or a plain one when none is open.
      if (prober_->OpenCount() + prober_->ReportPending() == 0) {
        os::Sleep(static_cast<std::uint32_t>(timeout));
        return std::nullopt;
      }
      Collect(timeout);
    } else if (prober_->OpenCount() + prober_->ReportPending() > 0) {
      Collect(0);
      if (heard_.empty()) {
        if (std::optional<HostAnswer> answer = icmp(std::min(timeout, kSliceMs))) return answer;
        Collect(0);
      }
    }
  }
  if (!heard_.empty()) {
    const HostAnswer answer = heard_.front();
    heard_.pop_front();
    return answer;
  }
  if (prober_ != nullptr && (icmp_lost_ || prober_->OpenCount() > 0)) return std::nullopt;
  return icmp(timeout);
}

}  // namespace trolvane
