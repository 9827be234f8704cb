// Real TCP sockets (POSIX) and the system's host name look-up, for a program's main to hand to
// its contexts (see host_services.h). The contracts and error numbers are SocketFactory's and
// StreamSocket's.
#pragma once

#include <memory>

#include "platform/socket.h"

namespace quillet {

// The system's resolver (getaddrinfo), blocking as long as it takes; 0 or a WSA error.
LONG SystemResolver(const std::string& host, std::vector<std::uint32_t>* out);

// Real sockets whose host name look-ups go through `resolver`. The look-up runs on a helper
// thread, so the time-out and Cancel of the waiting call end it like any other wait (the thread
// finishes on its own, and its answer is dropped).
std::unique_ptr<SocketFactory> MakePosixSockets(HostResolver resolver);

}  // namespace quillet
