#include "service/common/url_credentials.h"

#include <algorithm>

namespace velunor {

std::string WithoutCredentials(std::string_view url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return std::string(url);
  const size_t authority = scheme_end + 3;
  const size_t authority_end = std::min(url.find_first_of("/?#", authority), url.size());
  // The last '@' ends the user information: a password may hold one.
  const size_t at = url.substr(authority, authority_end - authority).rfind('@');
  if (at == std::string_view::npos) return std::string(url);
  return std::string(url.substr(0, authority)) + std::string(url.substr(authority + at + 1));
}

}  // namespace velunor
