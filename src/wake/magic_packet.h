// The wake-up job: the settings of one run, the send step and the confirm step, and the
// program's own error family that the driver turns into exit statuses.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/exception.h"
#include "wake/destinations.h"
#include "wake/line_output.h"

namespace trolvane {

class ETrolvaneException : public Exception {
 public:
  using Exception::Exception;

 protected:
  ~ETrolvaneException() override = default;  // never raised by itself
};

// An unusable MAC or host text (status 2).
class EArgsException : public ETrolvaneException {
 public:
  using ETrolvaneException::ETrolvaneException;
};

// Sending one datagram failed (status 3).
class EMagicPacketSendException : public ETrolvaneException {
 public:
  using ETrolvaneException::ETrolvaneException;
};

// Start-up not confirmed by ping (status 5).
class EBootFaultException : public ETrolvaneException {
 public:
  using ETrolvaneException::ETrolvaneException;
};

inline constexpr int kMagicPacketSize = 102;
using MagicPacketBytes = std::array<std::uint8_t, kMagicPacketSize>;

class TUdpSocket;

class TMagicPacket {
 public:
  // Result lines (the confirmation) go to write; the status line while it waits for the
  // host, to status when set.
  explicit TMagicPacket(LineWriter write, StatusWriter status = {});
  virtual ~TMagicPacket() = default;
  TMagicPacket(const TMagicPacket&) = delete;
  TMagicPacket& operator=(const TMagicPacket&) = delete;

  const std::string& PortText() const { return port_text_; }
  void SetPortText(std::string value) { port_text_ = std::move(value); }
  const std::string& HostAddress() const { return host_address_; }
  void SetHostAddress(std::string value) {
    host_address_ = std::move(value);
    target_.reset();
  }
  const std::string& MacAddress() const { return mac_address_; }
  void SetMacAddress(std::string value) { mac_address_ = std::move(value); }
  std::int32_t MaskBits() const { return mask_bits_; }
  void SetMaskBits(std::int32_t value) {
    mask_bits_ = value;
    target_.reset();
  }
  std::int32_t PingTimeout() const { return ping_timeout_; }
  void SetPingTimeout(std::int32_t value) { ping_timeout_ = value; }
  // The TCP ports ("/c") that confirm a host besides the echo requests; none by default.
  const std::vector<std::uint16_t>& ProbePorts() const { return probe_ports_; }
  void SetProbePorts(std::vector<std::uint16_t> value) { probe_ports_ = std::move(value); }
  // Whether an answer confirms only when the neighbour table gives it the woken MAC ("/v").
  bool MacCheck() const { return mac_check_; }
  void SetMacCheck(bool value) { mac_check_ = value; }
  // How many times the packet goes at most, a second apart, until the host answers ("/r").
  int SendCount() const { return send_count_; }
  void SetSendCount(int value) { send_count_ = value; }

  // Sends the packet to the host and, unless MaskBits is -1, to its broadcast address;
  // without mask bits, to its link's broadcast where the unicast cannot reach it.
  virtual void SendMagicPacket();
  // Pings the host until it answers or PingTimeout has passed; writes the confirmation.
  virtual void ConfirmBoot();

  // Where the packets and the echo requests go (destinations.h says when it raises and
  // when the link's broadcast is added), resolved once per host text and mask bits, so
  // that all of them reach the same machine.
  const Destinations& Targets();
  // SendMagicPacket, then ConfirmBoot.
  virtual void Run();

  // Six 0xFF bytes, then the six MAC bytes sixteen times. A malformed MAC text raises
  // EArgsException and leaves the packet untouched.
  static void BuildMagicPacket(std::string_view mac_text, MagicPacketBytes& packet);
  // The woken MAC inside a magic packet.
  static os::HardwareAddress MacOf(const MagicPacketBytes& packet);
  // The directed broadcast address of HostAddress with MaskBits mask bits
  // (broadcast_address.h says when it raises).
  std::string GetBroadcastAddress() const;

 protected:
  // One datagram to the address (network order) on PortText; any failure becomes
  // EMagicPacketSendException. Without an address nothing is sent, but a port text or a
  // MAC text that the send would refuse is still refused.
  void SendPacketTo(TUdpSocket& socket, std::optional<std::uint32_t> address);
  const LineWriter& Writer() const { return write_; }
  const StatusWriter& Status() const { return status_; }

 private:
  LineWriter write_;
  StatusWriter status_;
  std::string port_text_ = "7";
  std::string host_address_;
  std::string mac_address_;
  std::int32_t mask_bits_ = -1;
  std::int32_t ping_timeout_ = 60000;
  std::optional<Destinations> target_;
  std::vector<std::uint16_t> probe_ports_;
  bool mac_check_ = true;
  int send_count_ = 1;
};

}  // namespace trolvane
