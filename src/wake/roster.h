// One record per machine of a run, built once: each address once, with the lines that name
// it (each line's MAC parsed once, its host text), the path to it (read and classified
// once), what was asked of it, what its answers proved and its outcome. A single host is a
// roster of one, a list a roster of many, a learning sweep a roster of its range's
// addresses, without lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/raw_headers.h"
#include "platform/neighbours.h"
#include "wake/destinations.h"
#include "wake/link_view.h"
#include "wake/outcome.h"
#include "wake/path.h"

namespace trolvane {

inline constexpr std::size_t kNoMachine = static_cast<std::size_t>(-1);

// A magic packet that went out.
struct WakeSent {
  enum class As : std::uint8_t { kUnicast, kLinkBroadcast, kDirectedBroadcast };
  std::uint32_t to = 0;  // network order
  As as = As::kUnicast;
  std::uint64_t at_us = 0;  // since the run began
};

struct RosterLine {
  // Given: the host text and its line in the list (0 for a single host), the MAC woken
  // (none: a MAC that could not be read, so no packet and no MAC check), the mask bits,
  // and where the host text resolved to (no host: nothing is sent; the line's outcome
  // says why).
  std::string host;
  int number = 0;
  std::optional<os::HardwareAddress> mac;
  std::int32_t mask_bits = kNoMaskBits;
  Destinations to;
  std::string refusal;  // why the host rules refused it, where they did

  // Where its packet goes, set when the roster is built. Where the link broadcast carries
  // the packet to a machine that answers no address resolution, the unicast (which could
  // not arrive, and would take a neighbour entry) is not sent.
  std::size_t machine = kNoMachine;
  bool unicast = true;
  std::optional<std::uint32_t> broadcast;  // the directed broadcast, or the link's
  bool link_broadcast = false;             // which of the two

  // Its wakes. A wake is given when each of its datagrams went out or failed for good; one
  // held up for want of buffers goes again in the next turn.
  int wakes = 0;
  std::vector<WakeSent> sent;
  bool wake_busy = false;               // of the wake under way
  bool delivered = false;               // a whole wake went out
  std::optional<Failure> wake_failure;  // the last datagram that did not go

  Outcome outcome;
};

// One machine's proving answer, while it waits for a reading of the neighbour table.
struct HeldProof {
  Outcome::Proof by = Outcome::Proof::kEcho;
  std::uint16_t port = 0;
  std::uint64_t at_us = 0;
};

struct Machine {
  std::uint32_t address = 0;  // network order
  Path path;
  std::vector<std::size_t> lines;

  // What was asked of it: echo requests, connection attempts or sweep probes that went out.
  SentRequests echoes;
  int asked = 0;
  int turns = 0;
  int place_left = 0;  // requests left on its place in the neighbour table
  int refused = 0;     // sweep probes the system had no room for
  std::uint64_t first_turn_us = 0;

  // The evidence while the wait runs. held: a proving answer waits for a reading of the
  // table; unsure: one that the last reading found no entry for, asked of the next answer
  // or the last reading; failure: the last request could not be made, or an ICMP error
  // answered one; done: nothing more is asked of it.
  std::optional<HeldProof> held, unsure;
  bool done = false;
  std::optional<Failure> failure;
  // Learning: whether it answered a probe, the MAC that answered, and whether the table
  // said it reachable before the sweep.
  bool answered = false;
  std::optional<os::HardwareAddress> heard;
  bool reachable_before = false;
};

struct Roster {
  // The lines' machines, each address once, and the path to each read in one batch; the
  // neighbour table is read once where a line's link broadcast depends on it.
  explicit Roster(std::vector<RosterLine> lines, const LinkReads& reads = PlatformLinkReads());
  // A sweep's addresses (network order), without lines.
  explicit Roster(const std::vector<std::uint32_t>& addresses,
                  const LinkReads& reads = PlatformLinkReads());

  Machine* Find(std::uint32_t address);
  std::size_t Confirmed() const;

  std::vector<RosterLine> lines;
  std::vector<Machine> machines;
  // When the run began, on the clock of its wire (microseconds); set by the first to send.
  std::optional<std::uint64_t> begun_us;

 private:
  std::size_t Add(std::uint32_t address);
  void ReadPaths(const LinkReads& reads);

  std::unordered_map<std::uint32_t, std::size_t> index_;
};

}  // namespace trolvane
