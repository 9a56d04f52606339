// The --json output of the commands that offer it.
#ifndef ZTTOOLS_CLI_JSON_H
#define ZTTOOLS_CLI_JSON_H

#include <iosfwd>
#include <nlohmann/json.hpp>

namespace zt::cli {

using Json = nlohmann::ordered_json;

// Prints `document` indented, in ASCII (other characters as \u escapes) and with every byte that
// is not UTF-8 as \ufffd, so that any path or name the document holds comes out valid.
void printJson(std::ostream& out, const Json& document);

}  // namespace zt::cli

#endif  // ZTTOOLS_CLI_JSON_H
