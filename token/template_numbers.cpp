#include "token/template_numbers.h"

namespace zt::token {

std::string numberMessages(std::string text, const std::vector<std::string>& definitions) {
  for (std::size_t i = 0; i < definitions.size(); ++i) {
    const std::string& definition = definitions[i];
    if (definition.empty()) {
      continue;  // an empty text occurs everywhere; numbering it would never end
    }
    const std::string number = std::to_string(i + 1);
    for (std::size_t at = text.find(definition); at != std::string::npos;
         at = text.find(definition, at + 1)) {
      text.replace(at, definition.size(), number);
    }
  }
  return text;
}

}  // namespace zt::token
