#include <winsock2.h>

#include "sandbox/rcon/Listen.h"

namespace Rcon {

namespace {

// SO_EXCLUSIVEADDRUSE, which Asio has no name for.
class ExclusiveAddressUse {
 public:
  template <class Protocol>
  int level(const Protocol&) const {
    return SOL_SOCKET;
  }
  template <class Protocol>
  int name(const Protocol&) const {
    return SO_EXCLUSIVEADDRUSE;
  }
  template <class Protocol>
  const int* data(const Protocol&) const {
    return &on_;
  }
  template <class Protocol>
  std::size_t size(const Protocol&) const {
    return sizeof on_;
  }

 private:
  int on_ = 1;
};

}  // namespace

// Windows lets a socket with SO_REUSEADDR bind a port that another socket listens on and take its
// connections; an exclusive listener refuses every such bind.
void KeepPortToItself(asio::ip::tcp::acceptor& acceptor) {
  acceptor.set_option(ExclusiveAddressUse());
}

}  // namespace Rcon
