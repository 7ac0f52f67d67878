// Status (shared/status.h) as the service's procedures make it from what
// they catch: an exception becomes the error numbered as the error logs
// number it.
#pragma once

#include <exception>
#include <utility>

#include "service/common/failure.h"
#include "shared/status.h"

namespace velunor {

// Runs `step`; an exception it throws (a std::exception: ProgramEnd passes)
// becomes the error.
template <class F>
Status StatusOf(F&& step) {
  try {
    std::forward<F>(step)();
    return Status();
  } catch (const std::exception&) {
    CaughtError error = CurrentError();
    return Status::Error(error.number, std::move(error.description));
  }
}

}  // namespace velunor
