// The session's messages on a transport, encoded. Kept apart from the session so that a program
// that carries the messages itself needs no encoding.
#include "net/session.h"

#include <cstdio>

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
        // A datagram that is no message of ours: dropped, and told now and then (the first,
        // the tenth, the hundredth...), so that a flood of them fills no log.
        ++refused_;
        if (refused_ >= nextTold_) {
          fprintf(stderr, "quorbistane: dropped a datagram that is no message of the game (%s); %d so far\n", why,
                  refused_);
          nextTold_ *= 10;
        }
        break;
      }
    }
  }
}

}  // namespace net
