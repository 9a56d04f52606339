#include "json.h"

#include <ostream>

namespace zt::cli {

void printJson(std::ostream& out, const Json& document) {
  out << document.dump(2, ' ', true, Json::error_handler_t::replace) << '\n';
}

}  // namespace zt::cli
