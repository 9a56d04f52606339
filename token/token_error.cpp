#include "token/token_error.h"

#include "zttools.h"

namespace zt::token {
namespace {

// Built by static initialisation, before any export can be called.
const std::map<int32_t, std::string> kErrorTable = {
    {1, "Invalid date format."},
    {3, "Invalid date modifier."},
    {2, "Invalid date delimiter."},
    {4, "Invalid time format."},
    {6, "Invalid time modifier."},
    {5, "Invalid time delimiter."},
    {8, "Invalid counter value."},
    {9, "Imprinter counter width is out of range."},
    {23, "Too many newline tokens."},
    {24, "Newline token cannot be formatted,"},
    {26, "Unknown format specifier."},
    {28, "Missing format specifier."},
    {20, "Invalid delimiter."},
    {29, "Missing the literal character following the '\\'."},
    {36, "Invalid modifier."},
    {37, "Modifier not allowed."},
    {14, "Error in format string."},
    {30, "Output string length exceeds maximum of 40 characters."},
    {31, "Message string length exceeds maximum of 20 characters."},
    {32, "Too many message defined in template."},
    {34, "Length of fixed field exceeds 9 characters."},
};

constexpr const char* kFallbackMessage = "token parsing error occured";

}  // namespace

const std::map<int32_t, std::string>& errorTable() {
  return kErrorTable;
}

const char* errorMessage(int32_t code) {
  auto found = kErrorTable.find(code);
  return found == kErrorTable.end() ? kFallbackMessage : found->second.c_str();
}

void raiseTokenError(int code, int position) {
  throw kora_token_parser_exception(code, position);
}

}  // namespace zt::token

// The exception's destructor is its key function: defining it here puts its table of virtual
// operations and its type information into the library, where callers find them.
kora_token_parser_exception::~kora_token_parser_exception() = default;

const char* kora_token_parser_exception::what() const noexcept {
  return zt::token::errorMessage(code);
}
