// The deleter that hands a C library's object to its own free function, so
// that a std::unique_ptr owns a CURL handle, an X509 or an xmlDoc alike:
// std::unique_ptr<CURL, FreeWith<curl_easy_cleanup>>.
#pragma once

namespace velunor {

template <auto Free>
struct FreeWith {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

}  // namespace velunor
