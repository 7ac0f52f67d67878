#include "shared/display.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velunor {

bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') return true;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (wayland != nullptr && *wayland != '\0' && runtime != nullptr &&
      std::filesystem::exists(std::filesystem::path(runtime) / wayland)) {
    return true;
  }
  const char* x = std::getenv("DISPLAY");
  if (x == nullptr || *x == '\0') return false;
  const std::string display = x;
  if (display[0] != ':') return true;  // a remote display: let Qt try
  const std::string number = display.substr(1, display.find('.') - 1);
  return std::filesystem::exists("/tmp/.X11-unix/X" + number);
}

}  // namespace velunor
