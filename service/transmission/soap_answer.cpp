#include "service/transmission/soap_answer.h"

#include <climits>
#include <cstring>
#include <memory>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "service/common/text.h"
#include "shared/free_with.h"

namespace velunor {

namespace {

using DocFree = FreeWith<xmlFreeDoc>;
using ContextFree = FreeWith<xmlFreeParserCtxt>;

bool Named(const xmlNode* node, const char* local) {
  return node->type == XML_ELEMENT_NODE &&
         std::strcmp(reinterpret_cast<const char*>(node->name), local) == 0;
}

// The element children of each of `parents` with the local name `local`, in
// document order (libxml2 keeps prefixes apart from names).
std::vector<const xmlNode*> Children(const std::vector<const xmlNode*>& parents,
                                     const char* local) {
  std::vector<const xmlNode*> found;
  for (const xmlNode* parent : parents) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
      if (Named(child, local)) found.push_back(child);
    }
  }
  return found;
}

// All text below `node`, as a DOM's text content reads it, walked without
// recursion.
std::string TextContent(const xmlNode* node) {
  std::string text;
  for (const xmlNode* n = node->children; n != nullptr;) {
    if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content != nullptr) {
      text += reinterpret_cast<const char*>(n->content);
    }
    if (n->type == XML_ELEMENT_NODE && n->children != nullptr) {
      n = n->children;
      continue;
    }
    while (n != nullptr && n != node && n->next == nullptr) n = n->parent;
    if (n == nullptr || n == node) break;
    n = n->next;
  }
  return text;
}

}  // namespace

SoapAnswer ReadSoapAnswer(const std::string& bytes) {
  SoapAnswer answer;
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return answer;
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;

  // The answer is the only untrusted XML the service reads: no network, no
  // external or expanded entities, no error output of the library's own.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
  if (!context) return answer;
  std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(
      context.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
  // Well-formed and namespace-well-formed (every prefix declared), and no
  // document type declaration, which a SOAP message must not carry.
  if (!doc || !context->wellFormed || !context->nsWellFormed || doc->intSubset != nullptr) {
    return answer;
  }
  const xmlNode* envelope = xmlDocGetRootElement(doc.get());
  if (envelope == nullptr) return answer;
  answer.parsed = true;
  if (doc->children != envelope) {
    answer.first_node_not_element =
        doc->children->type == XML_PI_NODE ? "processing instruction" : "comment";
    return answer;
  }

  std::vector<const xmlNode*> level{envelope};
  for (const char* local : {"Body", "d2LogicalModel", "exchange", "response"}) {
    level = Children(level, local);
  }
  for (const xmlNode* response : level) {
    answer.responses.push_back(Trim(TextContent(response), kWhiteSpace));
  }
  return answer;
}

}  // namespace velunor
