// A "/l" run: learns a room's machines while they are on and writes them, with their
// MACs, as a host list that "/f" reads back. Every address of the subnet on its link is
// asked, again when silent: by an ARP request of our own where the platform allows it
// (the reply names the machine), else by a request that makes the system resolve the
// address (its neighbour table then names the machine that answered). Wakes nothing.
#pragma once

#include <string>

#include "wake/line_output.h"

namespace trolvane {

class TLearnRoom : public LineJob {
 public:
  // The list goes to write, the status line while it works to status when set.
  using LineJob::LineJob;

  // "ADDRESS/BITS", e.g. "192.168.12.0/24".
  const std::string& RangeText() const { return range_text_; }
  void SetRangeText(std::string value) { range_text_ = std::move(value); }

  // Writes the comment line, then "MAC ADDRESS BITS" for each machine found, in address
  // order, with the bits of the link's own prefix. Raises EArgsException for a range that
  // is not ADDRESS/BITS with 16 to 30 bits on one attached link, and EBootFaultException
  // for one with addresses whose route could not be read, both before anything is sent;
  // EBootFaultException after the list when the link would not take a request for some
  // address, and with the comment line as its message when no machine was found.
  virtual void Run();

 private:
  std::string range_text_;
};

}  // namespace trolvane
