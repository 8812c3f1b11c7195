#include "wake/magic_packet.h"

namespace trolvane {

TMagicPacket::TMagicPacket(LineWriter write) : write_(std::move(write)) {}

void TMagicPacket::Run() {
  SendMagicPacket();
  ConfirmBoot();
}

}  // namespace trolvane
