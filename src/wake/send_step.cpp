#include "wake/magic_packet.h"

namespace trolvane {

void TMagicPacket::SendMagicPacket() {}

}  // namespace trolvane
