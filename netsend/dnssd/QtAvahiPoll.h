// The event loop that the Avahi client library needs, made of Qt's: socket
// notifiers for its descriptors and single-shot timers for its timeouts, so
// that DNS-SD runs in the program's one UI thread.
#pragma once

#include <avahi-common/watch.h>

namespace vokar::dnssd {

// A poll API bound to Qt's event loop of the calling thread; it lives for
// the program's life.
const AvahiPoll* QtAvahiPoll();

}  // namespace vokar::dnssd
