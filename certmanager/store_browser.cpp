#include "certmanager/store_browser.h"

#include <filesystem>
#include <system_error>

namespace velunor {

namespace {

// The certificate store lists a directory it cannot open as empty, which an
// operator cannot tell from a store without certificates; opening it here
// first keeps the reason.
Status Opened(const std::filesystem::path& dir) {
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  if (!ec) return Status();
  return Status::Error(ec.value(), dir.string() + ": " + ec.message());
}

}  // namespace

StoreNames DirectoryCertMgr::Stores() const {
  StoreNames result;
  result.status = Opened(store_.root());
  if (result.status.ok()) result.names = store_.Stores();
  return result;
}

StoreContents DirectoryCertMgr::List(const std::string& store) const {
  StoreContents result;
  result.status = Opened(store_.root() / store);
  if (result.status.ok()) result.listing = store_.List(store);
  return result;
}

}  // namespace velunor
