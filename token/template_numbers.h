// The last step of reading a template document: message texts in the template string are
// replaced by the numbers of their definitions.
#ifndef ZT_TOKEN_TEMPLATE_NUMBERS_H
#define ZT_TOKEN_TEMPLATE_NUMBERS_H

#include <string>
#include <vector>

namespace zt::token {

// For each definition in order, numbered from 1, replaces every occurrence in `text` by the
// number, searching on from one character after the start of each replacement (so a number
// written earlier can take part in a later match). Empty definitions keep their number but
// replace nothing.
std::string numberMessages(std::string text, const std::vector<std::string>& definitions);

}  // namespace zt::token

#endif  // ZT_TOKEN_TEMPLATE_NUMBERS_H
