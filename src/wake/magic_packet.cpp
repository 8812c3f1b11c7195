#include "wake/magic_packet.h"

namespace trolvane {

TMagicPacket::TMagicPacket(LineWriter write, StatusWriter status)
    : write_(std::move(write)), status_(std::move(status)) {}

void TMagicPacket::Run() {
  SendMagicPacket();
  ConfirmBoot();
}

}  // namespace trolvane
