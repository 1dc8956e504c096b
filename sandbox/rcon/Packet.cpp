// TEMPORARY: replaced by the RCON work.
#include "sandbox/rcon/Packet.h"
