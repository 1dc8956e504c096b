// How the RCON listener holds its port: the one thing about listening that differs by platform.
#pragma once

#include <asio/ip/tcp.hpp>

namespace Rcon {

// Sets, on an acceptor opened but not yet bound, the option that lets a restarted sandbox bind its
// port again at once while no other socket can bind that port as long as the acceptor holds it.
void KeepPortToItself(asio::ip::tcp::acceptor& acceptor);

}  // namespace Rcon
