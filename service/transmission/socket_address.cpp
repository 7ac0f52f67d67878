#include "service/transmission/socket_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace velunor {

std::string SocketAddressText(const sockaddr* address) {
  char ip[INET6_ADDRSTRLEN] = "";
  std::string text;
  if (address == nullptr) return text;
  if (address->sa_family == AF_INET) {
    const auto* a = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &a->sin_addr, ip, sizeof ip);
    text = ip;
    text += ':';
    text += std::to_string(ntohs(a->sin_port));
  } else if (address->sa_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &a->sin6_addr, ip, sizeof ip);
    text = '[';
    text += ip;
    text += "]:";
    text += std::to_string(ntohs(a->sin6_port));
  }
  return text;
}

}  // namespace velunor
