#include "service/common/failure.h"

#include <exception>
#include <new>

namespace velunor {

CaughtError CurrentError() {
  try {
    throw;
  } catch (const Failure& f) {
    return {f.number(), f.description()};
  } catch (const std::bad_alloc&) {
    return {kErrOutOfMemory, "Nicht genügend Speicher"};
  } catch (const std::out_of_range& e) {
    return {kErrSubscriptOutOfRange, e.what()};
  } catch (const std::exception& e) {
    return {kErrInvalidCall, e.what()};
  }
}

}  // namespace velunor
