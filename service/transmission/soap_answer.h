// Reading the MTS-K's answer: the text of every `response` element on the
// path Envelope/Body/d2LogicalModel/exchange/response, walked by local names
// (prefixes and namespaces do not count). Pure; does not throw except for
// lack of memory.
#pragma once

#include <string>
#include <vector>

namespace velunor {

struct SoapAnswer {
  bool parsed = false;                 // false: not a well-formed XML document
  std::vector<std::string> responses;  // in document order, white space around each removed
  // What the document's first node is when it is not an element ("comment",
  // "processing instruction"); "" when the envelope comes first.
  std::string first_node_not_element;
};

// Parses `bytes` (encoding from its byte-order mark or declaration, UTF-8
// otherwise). The envelope is the document's first node, which has to be an
// element: after a comment or processing instruction no response is read.
// An XML declaration is no node and may stand before it. Texts come back in
// UTF-8.
SoapAnswer ReadSoapAnswer(const std::string& bytes);

}  // namespace velunor
