#include "wake/magic_packet.h"

namespace trolvane {

void TMagicPacket::ConfirmBoot() {}

}  // namespace trolvane
