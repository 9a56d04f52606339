// The XPath object behind a C handle. A visitor gets the node list behind a C handle that lives
// for the visitor call, with one handle per node visited, each holding its last answer.
#include <deque>
#include <unordered_map>

#include "capi/c_support.h"

using zt::capi::guarded;
using zt::capi::require;

struct zt_xml_xpath : zt::capi::ToolHandle<KORAXmlXPathInterface, KORAXmlXPathFactory_Create,
                                           KORAXmlXPathFactory_Destroy> {};

struct zt_xml_node {
  IXMLDOMNode* node;
  std::string answer;  // the last text asked of the node
};

struct zt_xml_node_list {
  IXMLDOMNodeList* list;
  std::deque<zt_xml_node> nodes;  // one per node handed out, at fixed addresses
  std::unordered_map<IXMLDOMNode*, zt_xml_node*> handles;
};

namespace {

// One text of a node, kept in the node's handle.
int answer(zt_xml_node* node, const char** text, std::string (IXMLDOMNode::*ask)()) {
  return guarded([&] {
    require(node, "node");
    require(text, "text");
    node->answer = (node->node->*ask)();
    *text = node->answer.c_str();
    return ZT_OK;
  });
}

int loaded(int status) {
  if (status < 0) {
    zt::capi::setLastError(status == -2 ? "no document component" : "the document was not loaded");
  }
  return status;
}

template <class Query>
int select(zt_xml_xpath* xpath, const char* query, const char** xml, Query run) {
  return guarded([&] {
    require(xpath, "xpath");
    require(query, "query");
    require(xml, "xml");
    *xml = run(*xpath->tool);
    return ZT_OK;
  });
}

}  // namespace

extern "C" {

int zt_xml_node_list_length(zt_xml_node_list* nodes, int32_t* length) {
  return guarded([&] {
    require(nodes, "nodes");
    require(length, "length");
    *length = static_cast<int32_t>(nodes->list->length());
    return ZT_OK;
  });
}

int zt_xml_node_list_next(zt_xml_node_list* nodes, zt_xml_node** node) {
  return guarded([&] {
    require(nodes, "nodes");
    require(node, "node");
    IXMLDOMNode* next = nodes->list->nextNode();
    if (next == nullptr) {
      *node = nullptr;
      return ZT_OK;
    }
    zt_xml_node*& handle = nodes->handles[next];
    if (handle == nullptr) {
      handle = &nodes->nodes.emplace_back(zt_xml_node{next, {}});
    }
    *node = handle;
    return ZT_OK;
  });
}

int zt_xml_node_list_reset(zt_xml_node_list* nodes) {
  return guarded([&] {
    require(nodes, "nodes");
    nodes->list->reset();
    return ZT_OK;
  });
}

int zt_xml_node_xml(zt_xml_node* node, const char** xml) {
  return answer(node, xml, &IXMLDOMNode::xml);
}

int zt_xml_node_name(zt_xml_node* node, const char** name) {
  return answer(node, name, &IXMLDOMNode::nodeName);
}

int zt_xml_node_text(zt_xml_node* node, const char** text) {
  return answer(node, text, &IXMLDOMNode::text);
}

zt_xml_xpath* zt_xml_xpath_new(void) {
  return zt::capi::newHandle<zt_xml_xpath>();
}

void zt_xml_xpath_free(zt_xml_xpath* xpath) {
  zt::capi::freeHandle(xpath);
}

int zt_xml_xpath_load_file(zt_xml_xpath* xpath, const char* path) {
  return guarded([&] {
    require(xpath, "xpath");
    require(path, "path");
    return loaded(xpath->tool->loadFile(path));
  });
}

int zt_xml_xpath_load_xml(zt_xml_xpath* xpath, const char* xml) {
  return guarded([&] {
    require(xpath, "xpath");
    require(xml, "xml");
    return loaded(xpath->tool->loadXml(xml));
  });
}

int zt_xml_xpath_select_single_node(zt_xml_xpath* xpath, const char* query, const char** xml) {
  return select(xpath, query, xml, [&](auto& tool) { return tool.selectSingleNode(query); });
}

int zt_xml_xpath_select_nodes(zt_xml_xpath* xpath, const char* query, const char** xml) {
  return select(xpath, query, xml, [&](auto& tool) { return tool.selectNodes(query); });
}

int zt_xml_xpath_visit_nodes(zt_xml_xpath* xpath, const char* query, zt_xml_visit_fn visit,
                             void* user, int* result) {
  return guarded([&] {
    require(xpath, "xpath");
    require(query, "query");
    require(visit, "visit");
    require(result, "result");
    *result = xpath->tool->selectNodes(query, [&](IXMLDOMNodeList* list) {
      zt_xml_node_list nodes{list, {}, {}};
      return visit(user, &nodes);
    });
    return ZT_OK;
  });
}

}  // extern "C"
