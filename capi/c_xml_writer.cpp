// The XML writer and its attribute sets behind C handles. A set handle is the writer's own set
// object: the writer owns it, so the C side never frees one.
#include <cstdlib>
#include <type_traits>

#include "capi/c_support.h"

using zt::capi::guarded;
using zt::capi::passStatus;
using zt::capi::require;

struct zt_xml_writer : zt::capi::ToolHandle<KORAXmlWriterInterface, KORAXmlWriterFactory_Create,
                                            KORAXmlWriterFactory_Destroy> {
  std::string encoding;  // the last getEncoding
  std::string version;   // the last getVersion
};

namespace {

IKORAXmlAttribute* toSet(zt_xml_attribute* set) {
  return reinterpret_cast<IKORAXmlAttribute*>(set);
}

// Adds one attribute to a set.
template <class Add>
int addTo(zt_xml_attribute* set, const char* name, Add add) {
  return guarded([&] {
    require(set, "set");
    require(name, "name");
    add(*toSet(set));
    return ZT_OK;
  });
}

// Runs one writer call that returns a status.
template <class Call>
int write(zt_xml_writer* writer, Call call) {
  return guarded([&] {
    require(writer, "writer");
    return passStatus(call(*writer->tool));
  });
}

template <class Value>
int writeElement(zt_xml_writer* writer, const char* name, Value value, bool cdata,
                 zt_xml_attribute* attributes) {
  return write(writer, [&](auto& tool) {
    require(name, "name");
    if constexpr (std::is_pointer_v<Value>) {
      require(value, "text");
    }
    return tool.writeElement(name, value, cdata, toSet(attributes));
  });
}

int getFlag(zt_xml_writer* writer, bool* value, long (KORAXmlWriterInterface::*get)(bool*)) {
  return write(writer, [&](auto& tool) {
    require(value, "value");
    return (tool.*get)(value);
  });
}

int setFlag(zt_xml_writer* writer, bool value, long (KORAXmlWriterInterface::*set)(bool)) {
  return write(writer, [&](auto& tool) { return (tool.*set)(value); });
}

// A property the writer hands out in a block of its own: kept in the handle's `slot`.
int getText(zt_xml_writer* writer, const char** text, std::string zt_xml_writer::*slot,
            long (KORAXmlWriterInterface::*get)(char**)) {
  return write(writer, [&](auto& tool) {
    require(text, "text");
    char* block = nullptr;
    const long status = (tool.*get)(&block);
    if (block != nullptr) {
      std::unique_ptr<char, decltype(&std::free)> owned(block, &std::free);
      writer->*slot = block;
      *text = (writer->*slot).c_str();
    }
    return status;
  });
}

// Makes a set through the writer; `make` gives the set or null.
template <class Make>
int create(zt_xml_writer* writer, zt_xml_attribute** set, Make make) {
  return guarded([&] {
    require(writer, "writer");
    require(set, "set");
    IKORAXmlAttribute* made = make(*writer->tool);
    if (made == nullptr) {
      throw zt::capi::Refusal{ZT_E_FAIL, "the writer made no attribute set", {}};
    }
    *set = reinterpret_cast<zt_xml_attribute*>(made);
    return ZT_OK;
  });
}

}  // namespace

extern "C" {

int zt_xml_attribute_add_text(zt_xml_attribute* set, const char* name, const char* value) {
  return addTo(set, name, [&](IKORAXmlAttribute& to) {
    require(value, "value");
    to.addAttribute(name, value);
  });
}

int zt_xml_attribute_add_bool(zt_xml_attribute* set, const char* name, bool value) {
  return addTo(set, name, [&](IKORAXmlAttribute& to) { to.addAttribute(name, value); });
}

int zt_xml_attribute_add_int32(zt_xml_attribute* set, const char* name, int32_t value) {
  return addTo(set, name, [&](IKORAXmlAttribute& to) { to.addAttribute(name, int{value}); });
}

int zt_xml_attribute_add_uint32(zt_xml_attribute* set, const char* name, uint32_t value) {
  return addTo(set, name, [&](IKORAXmlAttribute& to) {
    to.addAttribute(name, static_cast<unsigned long>(value));
  });
}

int zt_xml_attribute_add_hex(zt_xml_attribute* set, const char* name, uint32_t value) {
  return addTo(set, name, [&](IKORAXmlAttribute& to) {
    to.addHexAttribute(name, static_cast<unsigned long>(value));
  });
}

int zt_xml_attribute_clear(zt_xml_attribute* set) {
  return guarded([&] {
    require(set, "set");
    toSet(set)->clear();
    return ZT_OK;
  });
}

zt_xml_writer* zt_xml_writer_new(void) {
  return zt::capi::newHandle<zt_xml_writer>();
}

void zt_xml_writer_free(zt_xml_writer* writer) {
  zt::capi::freeHandle(writer);
}

int zt_xml_writer_start_document(zt_xml_writer* writer, const char* prefix) {
  return write(writer, [&](auto& tool) {
    return prefix == nullptr ? tool.startDocument() : tool.startDocument(prefix);
  });
}

int zt_xml_writer_end_document(zt_xml_writer* writer) {
  return write(writer, [](auto& tool) { return tool.endDocument(); });
}

int zt_xml_writer_start_element(zt_xml_writer* writer, const char* name,
                                zt_xml_attribute* attributes) {
  return write(writer, [&](auto& tool) {
    require(name, "name");
    return tool.startElement(name, toSet(attributes));
  });
}

int zt_xml_writer_write_element_text(zt_xml_writer* writer, const char* name, const char* text,
                                     bool cdata, zt_xml_attribute* attributes) {
  return writeElement(writer, name, text, cdata, attributes);
}

int zt_xml_writer_write_element_char(zt_xml_writer* writer, const char* name, char value,
                                     bool cdata, zt_xml_attribute* attributes) {
  return writeElement(writer, name, value, cdata, attributes);
}

int zt_xml_writer_write_element_bool(zt_xml_writer* writer, const char* name, bool value,
                                     bool cdata, zt_xml_attribute* attributes) {
  return writeElement(writer, name, value, cdata, attributes);
}

int zt_xml_writer_write_element_int32(zt_xml_writer* writer, const char* name, int32_t value,
                                      bool cdata, zt_xml_attribute* attributes) {
  return writeElement(writer, name, int{value}, cdata, attributes);
}

int zt_xml_writer_write_element_uint32(zt_xml_writer* writer, const char* name, uint32_t value,
                                       bool cdata, zt_xml_attribute* attributes) {
  return writeElement(writer, name, value, cdata, attributes);
}

int zt_xml_writer_end_element(zt_xml_writer* writer, const char* name) {
  return write(writer, [&](auto& tool) {
    return name == nullptr ? tool.endElement() : tool.endElement(name);
  });
}

int zt_xml_writer_characters(zt_xml_writer* writer, const char* text, bool cdata) {
  return write(writer, [&](auto& tool) {
    require(text, "text");
    return tool.characters(text, cdata);
  });
}

int zt_xml_writer_get_xml(zt_xml_writer* writer, char** xml) {
  // The writer's block comes from malloc, which zt_free releases: it is handed on as it is.
  return write(writer, [&](auto& tool) {
    require(xml, "xml");
    char* block = nullptr;
    const long status = tool.getXml(&block);
    if (block != nullptr) {
      *xml = block;
    }
    return status;
  });
}

int zt_xml_writer_set_omit_xml_declaration(zt_xml_writer* writer, bool value) {
  return setFlag(writer, value, &KORAXmlWriterInterface::setOmitXmlDeclaration);
}

int zt_xml_writer_get_omit_xml_declaration(zt_xml_writer* writer, bool* value) {
  return getFlag(writer, value, &KORAXmlWriterInterface::getOmitXmlDeclaration);
}

int zt_xml_writer_set_byte_order_mark(zt_xml_writer* writer, bool value) {
  return setFlag(writer, value, &KORAXmlWriterInterface::setByteOrderMark);
}

int zt_xml_writer_get_byte_order_mark(zt_xml_writer* writer, bool* value) {
  return getFlag(writer, value, &KORAXmlWriterInterface::getByteOrderMark);
}

int zt_xml_writer_set_disable_output_escaping(zt_xml_writer* writer, bool value) {
  return setFlag(writer, value, &KORAXmlWriterInterface::setDisableOutputEscaping);
}

int zt_xml_writer_get_disable_output_escaping(zt_xml_writer* writer, bool* value) {
  return getFlag(writer, value, &KORAXmlWriterInterface::getDisableOutputEscaping);
}

int zt_xml_writer_set_standalone(zt_xml_writer* writer, bool value) {
  return setFlag(writer, value, &KORAXmlWriterInterface::setStandalone);
}

int zt_xml_writer_get_standalone(zt_xml_writer* writer, bool* value) {
  return getFlag(writer, value, &KORAXmlWriterInterface::getStandalone);
}

int zt_xml_writer_set_indent(zt_xml_writer* writer, bool value) {
  return setFlag(writer, value, &KORAXmlWriterInterface::setIndent);
}

int zt_xml_writer_get_indent(zt_xml_writer* writer, bool* value) {
  return getFlag(writer, value, &KORAXmlWriterInterface::getIndent);
}

int zt_xml_writer_set_encoding(zt_xml_writer* writer, const char* name) {
  return write(writer, [&](auto& tool) {
    require(name, "name");
    return tool.setEncoding(name);
  });
}

int zt_xml_writer_get_encoding(zt_xml_writer* writer, const char** name) {
  return getText(writer, name, &zt_xml_writer::encoding, &KORAXmlWriterInterface::getEncoding);
}

int zt_xml_writer_set_version(zt_xml_writer* writer, const char* version) {
  return write(writer, [&](auto& tool) {
    require(version, "version");
    return tool.setVersion(version);
  });
}

int zt_xml_writer_get_version(zt_xml_writer* writer, const char** version) {
  return getText(writer, version, &zt_xml_writer::version, &KORAXmlWriterInterface::getVersion);
}

int zt_xml_writer_flush(zt_xml_writer* writer) {
  return write(writer, [](auto& tool) { return tool.flush(); });
}

int zt_xml_writer_reset(zt_xml_writer* writer) {
  return write(writer, [](auto& tool) { return tool.reset(); });
}

int zt_xml_writer_create_attribute(zt_xml_writer* writer, zt_xml_attribute** set) {
  return create(writer, set, [](auto& tool) { return tool.createAttribute(); });
}

int zt_xml_writer_create_attribute_text(zt_xml_writer* writer, const char* name, const char* value,
                                        zt_xml_attribute** set) {
  return create(writer, set, [&](auto& tool) {
    require(name, "name");
    require(value, "value");
    return tool.createAttribute(name, value);
  });
}

int zt_xml_writer_create_attribute_bool(zt_xml_writer* writer, const char* name, bool value,
                                        zt_xml_attribute** set) {
  return create(writer, set, [&](auto& tool) {
    require(name, "name");
    return tool.createAttribute(name, value);
  });
}

int zt_xml_writer_create_attribute_int32(zt_xml_writer* writer, const char* name, int32_t value,
                                         int format, zt_xml_attribute** set) {
  return create(writer, set, [&](auto& tool) {
    require(name, "name");
    return tool.createAttribute(name, int{value}, format);
  });
}

int zt_xml_writer_create_attribute_uint32(zt_xml_writer* writer, const char* name, uint32_t value,
                                          int format, zt_xml_attribute** set) {
  return create(writer, set, [&](auto& tool) {
    require(name, "name");
    return tool.createAttribute(name, static_cast<unsigned long>(value), format);
  });
}

}  // extern "C"
