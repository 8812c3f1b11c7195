#include "wake/magic_packet.h"

namespace trolvane {

void TMagicPacket::Run() {
  if (DryRun()) return PlanMagicPacket();
  SendMagicPacket();
  ConfirmBoot();
}

}  // namespace trolvane
