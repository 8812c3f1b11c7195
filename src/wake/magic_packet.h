// The wake-up job: the settings of one run, the send step and the confirm step.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/neighbours.h"
#include "wake/destinations.h"
#include "wake/errors.h"
#include "wake/line_output.h"
#include "wake/roster.h"
#include "wake/run_settings.h"

namespace trolvane {

inline constexpr int kMagicPacketSize = 102;
using MagicPacketBytes = std::array<std::uint8_t, kMagicPacketSize>;

class TUdpSocket;

class TMagicPacket : public LineJob {
 public:
  // Result lines (the confirmation) go to write; the status line while it waits for the
  // host, to status when set.
  using LineJob::LineJob;

  // What the command line set; the accessors below read and write its fields.
  const RunSettings& Settings() const { return settings_; }
  void SetSettings(RunSettings value) {
    settings_ = std::move(value);
    target_.reset();
  }
  const std::string& PortText() const { return settings_.port_text; }
  void SetPortText(std::string value) { settings_.port_text = std::move(value); }
  const std::string& HostAddress() const { return host_address_; }
  void SetHostAddress(std::string value) {
    host_address_ = std::move(value);
    target_.reset();
  }
  const std::string& MacAddress() const { return mac_address_; }
  void SetMacAddress(std::string value) {
    mac_address_ = std::move(value);
    target_.reset();
    packet_.reset();
    mac_error_.reset();
  }
  std::int32_t MaskBits() const { return settings_.mask_bits; }
  void SetMaskBits(std::int32_t value) {
    settings_.mask_bits = value;
    target_.reset();
  }
  std::int32_t PingTimeout() const { return settings_.ping_timeout; }
  void SetPingTimeout(std::int32_t value) { settings_.ping_timeout = value; }

  // Sends the packet to the host and, unless MaskBits is kNoMaskBits, to its broadcast address;
  // without mask bits, to its link's broadcast where the unicast cannot reach it.
  virtual void SendMagicPacket();
  // Pings the host until it answers or PingTimeout has passed; writes the confirmation.
  virtual void ConfirmBoot();

  // SendMagicPacket, then ConfirmBoot.
  virtual void Run();

  // Six 0xFF bytes, then the six MAC bytes sixteen times. A malformed MAC text raises
  // EArgsException and leaves the packet untouched.
  static void BuildMagicPacket(std::string_view mac_text, MagicPacketBytes& packet);
  // The MAC a text gives ("01-02-03-04-05-06"), raising BuildMagicPacket's EArgsException;
  // and the packet that wakes it.
  static os::HardwareAddress ParseMac(std::string_view mac_text);
  static MagicPacketBytes PacketOf(const os::HardwareAddress& mac);
  // The directed broadcast address of HostAddress with MaskBits mask bits
  // (broadcast_address.h says when it raises).
  std::string GetBroadcastAddress() const;

 protected:
  // One datagram to the address (network order) on PortText; any failure becomes
  // EMagicPacketSendException. Without an address nothing is sent, but a port text or a
  // MAC text that the send would refuse is still refused.
  void SendPacketTo(TUdpSocket& socket, std::optional<std::uint32_t> address);
  // The packet of MacAddress, built once a run; a MAC that cannot be read raises its
  // EArgsException each time.
  const MagicPacketBytes& Packet();
  // The run's one machine: where the packets and the echo requests go (destinations.h says
  // when it raises) and the path to it, read once per host text, mask bits and MAC, so that
  // all of them reach the same machine and the path is read once a run; and what the send
  // step sent.
  Roster& Target();

 private:
  RunSettings settings_;
  std::string host_address_;
  std::string mac_address_;
  std::optional<Roster> target_;
  std::optional<MagicPacketBytes> packet_;
  std::optional<EArgsException> mac_error_;
};

}  // namespace trolvane
