// A "/f" run: wakes and confirms every host of a list. The list is read and checked before
// anything is sent; each host gets its magic packet (and, with mask bits, its broadcast
// datagram) by the rules of a single host; then one ICMP socket confirms them all at once.
#pragma once

#include <string>

#include "wake/line_output.h"
#include "wake/run_settings.h"

namespace trolvane {

class TWakeList : public LineJob {
 public:
  // Result lines go to write, the status line while waiting to status when set.
  using LineJob::LineJob;

  // A file name, or "-" for standard input.
  const std::string& ListName() const { return list_name_; }
  void SetListName(std::string value) { list_name_ = std::move(value); }
  // What the command line set; the mask bits are those of lines that give none.
  const RunSettings& Settings() const { return settings_; }
  void SetSettings(RunSettings value) { settings_ = std::move(value); }

  // Writes a line for each host as soon as it answers, then one for each host that did
  // not, in list order, then "N台中M台の起動を確認しました。". Raises EArgsException for a
  // list that cannot be read, has a bad line or no host; EMagicPacketSendException for a
  // port that is no number and no service; EBootFaultException, with the summary as its
  // message, when a host was not confirmed.
  virtual void Run();

 private:
  std::string list_name_;
  RunSettings settings_;
};

}  // namespace trolvane
