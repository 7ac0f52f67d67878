// Dezimal on arbitrary value texts with decimals 0..6 and width 1..20: the
// result is "0" for an invalid pair; otherwise it is right-aligned to the
// width and holds the value rounded to exactly the decimals asked for, or
// zero when the value is larger than the field can show.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "service/common/zusatzfunktionen.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int decimals = in.ConsumeIntegralInRange(0, 6);
  const int width = in.ConsumeIntegralInRange(1, 20);
  std::string value = in.ConsumeRemainingBytesAsString();

  // The number Dezimal is to show, read the way it reads it.
  std::string cleaned = value;
  if (auto comma = cleaned.find(','); comma != std::string::npos) cleaned[comma] = '.';
  if (auto e = cleaned.find('E'); e != std::string::npos) cleaned.erase(e);
  const double n = velunor::NumberValue(cleaned);

  const std::string result =
      velunor::Dezimal(value, static_cast<float>(decimals), static_cast<float>(width));
  if (value != cleaned) std::abort();  // the caller's text is changed the same way

  if (!(width - decimals >= 2 || (decimals == 0 && width == 1))) {
    if (result != "0") std::abort();
    return 0;
  }
  if (width == 1) {
    if ((n < 0 || n > 9) && result != "0") std::abort();
    // The shortest form reads back exactly (it may be in exponent form).
    if (n >= 0 && n <= 9 && std::strtod(result.c_str(), nullptr) != n) std::abort();
    return 0;
  }

  // Right-aligned: blanks only in front, and only up to the width.
  const size_t digits = result.find_first_not_of(' ');
  if (digits == std::string::npos) std::abort();
  if (result.size() < static_cast<size_t>(width)) std::abort();
  if (digits > 0 && result.size() != static_cast<size_t>(width)) std::abort();
  const std::string number = result.substr(digits);
  const size_t point = number.find('.');
  if (decimals == 0 ? point != std::string::npos
                    : (point == std::string::npos ||
                       number.size() - point - 1 != static_cast<size_t>(decimals))) {
    std::abort();
  }
  if (number.find_first_not_of("-0123456789.") != std::string::npos) std::abort();

  const double shown = velunor::NumberValue(number);
  const double largest = std::pow(10.0, width - (decimals == 0 ? 0 : decimals + 1)) -
                         (decimals == 0 ? 1 : std::pow(10.0, -decimals));
  const double half_step = 0.5 * std::pow(10.0, -decimals);
  if (n > largest + 1e-9) {
    if (shown != 0) std::abort();
  } else if (std::fabs(shown - n) > half_step * (1 + 1e-9) + std::fabs(n) * 1e-15) {
    std::abort();
  }
  return 0;
}
