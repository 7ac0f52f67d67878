// What reaches the operator outside the window's controls: a modal message,
// and painting while the window's thread is inside long synchronous work.
#pragma once

#include <string>

namespace velunor {

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // A modal message; returns when the operator has closed it.
  virtual void MessageBox(const std::string& text, const std::string& title) = 0;
  // Paint pending changes now; callers are inside long synchronous work.
  virtual void Repaint() = 0;
};

}  // namespace velunor
