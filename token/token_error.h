// The token error table: error code -> message text, built once at load and never changed.
#ifndef ZT_TOKEN_TOKEN_ERROR_H
#define ZT_TOKEN_TOKEN_ERROR_H

#include <cstdint>
#include <map>
#include <string>

namespace zt::token {

// The 21 codes and their messages, ordered by code.
const std::map<int32_t, std::string>& errorTable();

// The message of `code`, or "token parsing error occured" when the table lacks it. The pointer
// stays valid while the library is loaded.
const char* errorMessage(int32_t code);

// Throws kora_token_parser_exception(code, position): the raise operation both token parsers
// share.
[[noreturn]] void raiseTokenError(int code, int position);

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_ERROR_H
