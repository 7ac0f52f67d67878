// The evaluation of the MTS-K's answer on arbitrary bytes: it never crashes
// or throws, a text that did not parse yields no response, and every
// response text comes back without surrounding white space.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/transmission/soap_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const velunor::SoapAnswer answer = velunor::ReadSoapAnswer(bytes);
  if (!answer.parsed && !answer.responses.empty()) std::abort();
  for (const std::string& text : answer.responses) {
    if (text.empty()) continue;
    const std::string space = " \t\r\n";
    if (space.find(text.front()) != std::string::npos) std::abort();
    if (space.find(text.back()) != std::string::npos) std::abort();
  }
  return 0;
}
