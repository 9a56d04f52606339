// Classic format strings: any byte string is scanned with the classic builder. The only failure
// allowed is kora_token_parser_exception with a code the classic rules raise and a position
// inside the string; a string that passes leaves only valid tokens and at most six normalised
// message pieces, and the running piece count agrees with a full normalisation.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "token/message_pieces.h"
#include "token/token_parser.h"
#include "token/token_scanner.h"
#include "zttools.h"

namespace {

using zt::token::TokenParser;

struct Outcome {
  bool failed = false;
  int code = 0;
  int position = 0;
  std::vector<std::string> tokens;
  std::vector<std::string> messages;
};

Outcome scanOnce(const std::string& format, std::vector<std::string>* messagesAtFailure) {
  Outcome out;
  TokenParser parser;
  try {
    zt::token::TokenStringScanner().scan(&parser, format);
  } catch (const kora_token_parser_exception& e) {
    out.failed = true;
    out.code = e.code;
    out.position = e.position;
    if (messagesAtFailure != nullptr) {
      *messagesAtFailure = parser.messages();
    }
  }
  for (const auto& t : parser.tokens()) {
    out.tokens.push_back(t->specifier + '\x1f' + t->modifier + '\x1f' + t->delimiter + '\x1f' +
                         t->text);
  }
  out.messages = parser.messages();
  return out;
}

void checkSuccess(const Outcome& out, const TokenParser& reference) {
  static const std::string kKinds = "MNSTY_";
  int newlines = 0;
  std::vector<std::string> texts;
  for (const auto& t : reference.tokens()) {
    ZT_FUZZ_CHECK(t->specifier.size() == 1);
    ZT_FUZZ_CHECK(kKinds.find(t->specifier[0]) != std::string::npos);
    newlines += t->specifier == "N" ? 1 : 0;
    if (t->specifier == "M") {
      texts.push_back(t->text);
    }
  }
  ZT_FUZZ_CHECK(newlines <= 2);
  // The messages after finish are the normalised pieces of every message token's text.
  ZT_FUZZ_CHECK(zt::token::normaliseMessages(texts) == out.messages.size());
  ZT_FUZZ_CHECK(texts == out.messages);
  ZT_FUZZ_CHECK(out.messages.size() <= 6);
  std::set<std::string> distinct(out.messages.begin(), out.messages.end());
  ZT_FUZZ_CHECK(distinct.size() == out.messages.size());
  for (std::size_t i = 0; i < out.messages.size(); ++i) {
    ZT_FUZZ_CHECK(out.messages[i].size() <= 20);
    ZT_FUZZ_CHECK(i == 0 || out.messages[i - 1].size() >= out.messages[i].size());
  }
}

void checkFailure(const Outcome& out, const std::string& scanned,
                  std::vector<std::string> messagesAtFailure) {
  static const std::set<int> kClassicCodes = {2, 3, 5, 6, 9, 14, 23, 24, 26, 32};
  ZT_FUZZ_CHECK(kClassicCodes.count(out.code) == 1);
  // Every character moves the running position by at most one, except a lone '#', which counts
  // twice (its start and its width); positions are taken before the move.
  const auto hashes = static_cast<int>(std::count(scanned.begin(), scanned.end(), '#'));
  ZT_FUZZ_CHECK(out.position >= 0);
  ZT_FUZZ_CHECK(out.position <= static_cast<int>(scanned.size()) + hashes);
  if (out.code == 32) {
    // The limit is broken exactly by the last message text added.
    ZT_FUZZ_CHECK(!messagesAtFailure.empty());
    std::vector<std::string> before(messagesAtFailure.begin(), messagesAtFailure.end() - 1);
    ZT_FUZZ_CHECK(zt::token::normaliseMessages(before) <= 6);
    ZT_FUZZ_CHECK(zt::token::normaliseMessages(messagesAtFailure) > 6);
  }
  // Where no character counts other than once (no '#', no "%%", no specifier 'M' taking back a
  // position), an unknown specifier's position is the index of that very character.
  if (out.code == 26 && hashes == 0 && scanned.find("%%") == std::string::npos &&
      scanned.find('M') == std::string::npos) {
    ZT_FUZZ_CHECK(out.position < static_cast<int>(scanned.size()));
    ZT_FUZZ_CHECK(std::string("NSTY_").find(scanned[out.position]) == std::string::npos);
    ZT_FUZZ_CHECK(out.position > 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string format(reinterpret_cast<const char*>(data), size);
  // The scan ends at the first NUL.
  const std::string scanned = format.substr(0, format.find('\0'));

  std::vector<std::string> messagesAtFailure;
  const Outcome first = scanOnce(format, &messagesAtFailure);
  if (first.failed) {
    checkFailure(first, scanned, messagesAtFailure);
  } else {
    TokenParser reference;
    zt::token::TokenStringScanner().scan(&reference, format);
    checkSuccess(first, reference);
  }
  // A scan starts from fresh counters: a second scan in the same thread gives the same result.
  const Outcome second = scanOnce(format, nullptr);
  ZT_FUZZ_CHECK(second.failed == first.failed && second.code == first.code &&
                second.position == first.position && second.tokens == first.tokens);
  return 0;
}
