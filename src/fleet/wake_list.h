// A "/f" run: wakes and confirms every host of a list. The list is read and checked before
// anything is sent; each host gets its magic packet (and, with mask bits, its broadcast
// datagram) by the rules of a single host; then one ICMP socket confirms them all at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wake/line_output.h"

namespace trolvane {

class TWakeList {
 public:
  // Result lines go to write, the status line while waiting to status when set.
  explicit TWakeList(LineWriter write, StatusWriter status = {});
  virtual ~TWakeList() = default;
  TWakeList(const TWakeList&) = delete;
  TWakeList& operator=(const TWakeList&) = delete;

  // A file name, or "-" for standard input.
  const std::string& ListName() const { return list_name_; }
  void SetListName(std::string value) { list_name_ = std::move(value); }
  const std::string& PortText() const { return port_text_; }
  void SetPortText(std::string value) { port_text_ = std::move(value); }
  // The mask bits of lines that give none; -1 for none.
  std::int32_t MaskBits() const { return mask_bits_; }
  void SetMaskBits(std::int32_t value) { mask_bits_ = value; }
  std::int32_t PingTimeout() const { return ping_timeout_; }
  void SetPingTimeout(std::int32_t value) { ping_timeout_ = value; }
  // The TCP ports ("/c") that confirm a host besides the echo requests; none by default.
  const std::vector<std::uint16_t>& ProbePorts() const { return probe_ports_; }
  void SetProbePorts(std::vector<std::uint16_t> value) { probe_ports_ = std::move(value); }
  // Whether an answer confirms only when the neighbour table gives it the woken MAC ("/v").
  bool MacCheck() const { return mac_check_; }
  void SetMacCheck(bool value) { mac_check_ = value; }
  // How many times each packet goes at most, a second apart, until its host answers ("/r").
  int SendCount() const { return send_count_; }
  void SetSendCount(int value) { send_count_ = value; }

  // Writes a line for each host as soon as it answers, then one for each host that did
  // not, in list order, then "N台中M台の起動を確認しました。". Raises EArgsException for a
  // list that cannot be read, has a bad line or no host; EMagicPacketSendException for a
  // port that is no number and no service; EBootFaultException, with the summary as its
  // message, when a host was not confirmed.
  virtual void Run();

 private:
  LineWriter write_;
  StatusWriter status_;
  std::string list_name_;
  std::string port_text_ = "7";
  std::int32_t mask_bits_ = -1;
  std::int32_t ping_timeout_ = 60000;
  std::vector<std::uint16_t> probe_ports_;
  bool mac_check_ = true;
  int send_count_ = 1;
};

}  // namespace trolvane
