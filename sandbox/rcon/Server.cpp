// TEMPORARY: replaced by the RCON work.
#include "sandbox/rcon/Server.h"
#include <stdexcept>
namespace Rcon {
std::uint16_t StartServer(std::uint16_t, std::string, Execute, PostToGame) { throw std::runtime_error("RCON is not built yet"); }
void StopServer() {}
}
