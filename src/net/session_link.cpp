// The session's messages on a transport, encoded. Kept apart from the session so that a program
// that carries the messages itself needs no encoding.
#include "net/session.h"

namespace net {

void TransportLink::Send(Channel channel, const Message& m) {
  uint8_t buf[kMaxMessageBytes];
  size_t n = Encode(m, buf);
  if (n > 0) transport_.Send(channel, buf, n);
}

bool TransportLink::Receive(Message* m, bool* lost) {
  Event e;
  for (;;) {
    transport_.Poll(&e);
    switch (e.kind) {
      case Event::None: return false;
      case Event::Disconnected: *lost = true; return false;
      case Event::Connected: break;
      case Event::Received: {
        const char* why = nullptr;
        if (Decode(e.data, e.size, m, &why)) return true;
        ++refused_;  // a datagram that is no message of ours: dropped
        break;
      }
    }
  }
}

}  // namespace net
