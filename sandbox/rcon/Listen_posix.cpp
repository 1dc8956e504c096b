#include "sandbox/rcon/Listen.h"

namespace Rcon {

// Connections of an earlier run that linger in TIME_WAIT would otherwise block the bind; a port
// that another socket listens on is refused all the same.
void KeepPortToItself(asio::ip::tcp::acceptor& acceptor) {
  acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
}

}  // namespace Rcon
