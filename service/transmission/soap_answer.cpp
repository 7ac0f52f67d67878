#include "service/transmission/soap_answer.h"

#include <cstring>

#include <pugixml.hpp>

namespace velunor {

namespace {

const char* LocalName(const pugi::xml_node& node) {
  const char* name = node.name();
  const char* colon = std::strrchr(name, ':');
  return colon != nullptr ? colon + 1 : name;
}

// The element children of each of `parents` named `local`, in document order.
std::vector<pugi::xml_node> Children(const std::vector<pugi::xml_node>& parents,
                                     const char* local) {
  std::vector<pugi::xml_node> found;
  for (const pugi::xml_node& parent : parents) {
    for (const pugi::xml_node& child : parent.children()) {
      if (child.type() == pugi::node_element && std::strcmp(LocalName(child), local) == 0) {
        found.push_back(child);
      }
    }
  }
  return found;
}

// All text below `node`, as a DOM's text content reads it. Walks without
// recursion, so a hostile answer nested a million levels deep cannot
// exhaust the stack.
std::string TextContent(const pugi::xml_node& node) {
  std::string text;
  for (pugi::xml_node n = node.first_child(); n;) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n != node && !n.next_sibling()) n = n.parent();
    if (n == node) break;
    n = n.next_sibling();
  }
  return text;
}

std::string TrimSpace(const std::string& s) {
  const char* kSpace = " \t\r\n";
  const size_t start = s.find_first_not_of(kSpace);
  if (start == std::string::npos) return "";
  return s.substr(start, s.find_last_not_of(kSpace) - start + 1);
}

}  // namespace

SoapAnswer ReadSoapAnswer(const std::string& bytes) {
  SoapAnswer answer;
  pugi::xml_document doc;
  const pugi::xml_parse_result result =
      doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
  if (!result || !doc.document_element()) return answer;
  answer.parsed = true;

  std::vector<pugi::xml_node> level{doc.document_element()};
  for (const char* local : {"Body", "d2LogicalModel", "exchange", "response"}) {
    level = Children(level, local);
  }
  for (const pugi::xml_node& response : level) {
    answer.responses.push_back(TrimSpace(TextContent(response)));
  }
  return answer;
}

}  // namespace velunor
