// The library's tools under unique ownership: each goes back to its Destroy export when the
// holder goes out of scope.
#ifndef ZTTOOLS_CLI_TOOLS_H
#define ZTTOOLS_CLI_TOOLS_H

#include <zttools.h>

#include <memory>
#include <stdexcept>

namespace zt::cli {

template <auto Destroy>
struct Destroyer {
  template <typename Tool>
  void operator()(Tool* tool) const {
    Destroy(tool);
  }
};

template <typename Tool, auto Create, auto Destroy>
std::unique_ptr<Tool, Destroyer<Destroy>> make() {
  std::unique_ptr<Tool, Destroyer<Destroy>> tool(Create());
  if (!tool) {
    throw std::runtime_error("the library could not create a tool");
  }
  return tool;
}

inline auto makeTokenParser() {
  return make<KORATokenParserInterface, KORATokenParserFactory_Create,
              KORATokenParserFactory_Destroy>();
}
inline auto makeTokenParserEx() {
  return make<KORATokenParserExInterface, KORATokenParserExFactory_Create,
              KORATokenParserExFactory_Destroy>();
}
inline auto makeLogManager() {
  return make<KORALogManagerInterface, KORALogManagerFactory_Create,
              KORALogManagerFactory_Destroy>();
}
inline auto makePresetManager() {
  return make<KORAPresetManagerInterface, KORAPresetManagerFactory_Create,
              KORAPresetManagerFactory_Destroy>();
}
inline auto makeTagManager() {
  return make<KORATagManagerInterface, KORATagManagerFactory_Create,
              KORATagManagerFactory_Destroy>();
}
inline auto makeXmlParser() {
  return make<KORAXmlParserInterface, KORAXmlParserFactory_Create, KORAXmlParserFactory_Destroy>();
}
inline auto makeXPath() {
  return make<KORAXmlXPathInterface, KORAXmlXPathFactory_Create, KORAXmlXPathFactory_Destroy>();
}

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_TOOLS_H
