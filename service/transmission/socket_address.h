// Text form of a socket address for the connection log: "127.0.0.1:443",
// "[::1]:443"; empty for other families. Pure.
#pragma once

#include <string>

struct sockaddr;

namespace velunor {

std::string SocketAddressText(const sockaddr* address);

}  // namespace velunor
