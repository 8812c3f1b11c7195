// A "/l" run: learns a room's machines while they are on. Every address of the subnet
// gets a request that makes the system resolve its hardware address; the neighbour
// table then says who holds which address, and the run writes that as a host list that
// "/f" reads back. Wakes nothing.
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

  // Writes the comment line, then "MAC ADDRESS BITS" for each address that holds a
  // hardware address, in address order. Raises EArgsException for a range that is not
  // ADDRESS/BITS with 16 to 30 bits, before anything is sent; EBootFaultException, with
  // the comment line as its message, when no machine was found.
  virtual void Run();

 private:
  std::string range_text_;
};

}  // namespace trolvane
