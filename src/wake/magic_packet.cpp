#include "wake/magic_packet.h"

namespace trolvane {

void TMagicPacket::Run() {
  SendMagicPacket();
  ConfirmBoot();
}

}  // namespace trolvane
