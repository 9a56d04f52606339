// Whether a text is an XML Name: what the writer puts in tags must read back as one.
#ifndef ZT_PLATFORM_XML_NAME_H
#define ZT_PLATFORM_XML_NAME_H

#include <string_view>

namespace zt::platform {

// True when `text` is well-formed UTF-8 and matches the Name production of XML 1.0 (fifth
// edition): a NameStartChar, then NameChars. Colons count as name characters anywhere, as that
// production has it, so "p:name" is a Name. The empty text is not.
bool isXmlName(std::string_view text);

}  // namespace zt::platform

#endif  // ZT_PLATFORM_XML_NAME_H
