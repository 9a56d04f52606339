// The token builder both token parsers share: it assembles each token character by character as
// the format-string scanner reads it, records the positions that errors report, rewrites counter
// fields, checks the classic token rules and keeps the token and message lists.
#ifndef ZT_TOKEN_TOKEN_BUILDER_H
#define ZT_TOKEN_TOKEN_BUILDER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "token/char_class.h"
#include "token/message_pieces.h"
#include "token/token_error.h"

namespace zt::token {

// Positions in the format string, and two counts, that a scan keeps while it runs. Each parser
// family has one set per thread: within a thread it behaves as one process-wide set, and scans on
// different threads never disturb each other.
struct PositionCounters {
  int32_t nextPosition = 0;
  int32_t tokenStartPosition = 0;
  int32_t specifierPosition = 0;
  int32_t modifierPosition = 0;
  int32_t delimiterPosition = 0;
  int32_t textPosition = 0;
  int32_t modifierCount = 0;
  int32_t newlineCount = 0;
};

inline constexpr std::size_t kMaxMessagePieces = 6;
inline constexpr int32_t kMaxNewlines = 2;

// `Interface` is the builder interface the scanner drives, `Token` the token record. The derived
// parser supplies validateToken and, for the kinds both parsers know, calls validateClassicKind.
template <class Interface, class Token>
class BasicTokenParser : public Interface {
 public:
  using TokenList = std::vector<std::shared_ptr<const Token>>;

  explicit BasicTokenParser(PositionCounters& counters) : counters_(counters) {}

  [[nodiscard]] const TokenList& tokens() const { return tokens_; }
  [[nodiscard]] const std::vector<std::string>& messages() const { return messages_; }
  [[nodiscard]] const Token& current() const { return current_; }
  [[nodiscard]] const PositionCounters& counters() const { return counters_; }

  int reset() override {
    counters_ = PositionCounters{};
    messages_.clear();
    pieces_.clear();
    return 0;
  }

  int finish() override {
    this->normaliseMessages(messages_);
    return 0;
  }

  int beginToken(char c) override {
    // A blank has no position of its own: a space never advances the running position here.
    if (c != ' ') {
      counters_.tokenStartPosition = counters_.nextPosition++;
    }
    counters_.modifierCount = 0;
    current_.clear();
    return 0;
  }

  int commitToken() override {
    if (!current_.specifier.empty() && current_.specifier[0] == 'S') {
      rewriteCounter();
    }
    this->validateToken(current_);
    tokens_.push_back(std::make_shared<const Token>(current_));
    return 0;
  }

  int addModifier(char c) override {
    // The modifier '#' of a lone '#' counter was already counted with the token's start.
    if (!(c == '#' && current_.specifier == "S")) {
      counters_.modifierPosition = counters_.nextPosition++;
    }
    ++counters_.modifierCount;
    current_.modifier += c;
    return 0;
  }

  int addDelimiter(char c) override {
    counters_.delimiterPosition = counters_.nextPosition++;
    current_.delimiter += c;
    return 0;
  }

  int addSpecifier(char c) override {
    // 'M' is implied by the first text character, which counts the position itself.
    if (c == 'M') {
      --counters_.nextPosition;
    } else {
      counters_.specifierPosition = counters_.nextPosition++;
      if (c == 'N') {
        ++counters_.newlineCount;
      }
    }
    current_.specifier += c;
    return 0;
  }

  int addText(char c) override {
    counters_.textPosition = counters_.nextPosition++;
    current_.text += c;
    return 0;
  }

  std::size_t normaliseMessages(std::vector<std::string>& list) override {
    return zt::token::normaliseMessages(list);
  }

 protected:
  // Checks `token` against the rules of the classic kinds M, N, S, T, Y and _. Returns false,
  // without raising, for any other kind.
  bool validateClassicKind(const Token& token) {
    const PositionCounters& at = counters_;
    const char kind = token.specifier.empty() ? '\0' : token.specifier[0];
    switch (kind) {
      case 'M':
        messages_.push_back(token.text);
        pieces_.add(token.text);
        if (pieces_.size() > kMaxMessagePieces) {
          raiseTokenError(32, at.textPosition);
        }
        return true;
      case 'N':
        if (!token.delimiter.empty()) {
          raiseTokenError(24, at.delimiterPosition);
        }
        if (!token.modifier.empty()) {
          raiseTokenError(24, at.modifierPosition);
        }
        if (at.newlineCount > kMaxNewlines) {
          raiseTokenError(23, at.tokenStartPosition);
        }
        return true;
      case 'S':
        if (!token.modifier.empty() && token.modifier != "#" &&
            (!isAllDigits(token.modifier) || decimalValue(token.modifier) == 0 ||
             decimalValue(token.modifier) > 9)) {
          raiseTokenError(9, at.modifierPosition);
        }
        if (!token.delimiter.empty() &&
            (!isAllDigits(token.delimiter) || decimalValue(token.delimiter) > 1)) {
          raiseTokenError(14, at.delimiterPosition);
        }
        return true;
      case 'T':
        if (!isOneDigitModifier(token.modifier)) {
          raiseTokenError(6, at.modifierPosition);
        }
        if (!token.delimiter.empty()) {
          raiseTokenError(5, at.delimiterPosition);
        }
        return true;
      case 'Y':
        if (!isOneDigitModifier(token.modifier)) {
          raiseTokenError(3, at.modifierPosition);
        }
        if (!token.delimiter.empty() &&
            token.delimiter.find_first_of("_/.-") == std::string::npos) {
          raiseTokenError(2, at.delimiterPosition);
        }
        return true;
      case '_':
        return true;
      default:
        return false;
    }
  }

 private:
  // Date and time modifiers: empty, or exactly one digit 1 to 9.
  [[nodiscard]] bool isOneDigitModifier(const std::string& modifier) const {
    return modifier.empty() ||
           (counters_.modifierCount <= 1 && isDigit(modifier[0]) && modifier[0] != '0');
  }

  // A counter's width and flag are written as one run of digits; split it into the flag (the
  // delimiter, first digit) and the width (the modifier, the rest) unless the token already has
  // delimiter characters. A lone "0" is the flag 0 with no width.
  void rewriteCounter() {
    if (current_.modifier == "0" && current_.delimiter.empty()) {
      current_.delimiter.assign(1, '0');
      current_.modifier.clear();
    }
    if (current_.modifier.size() >= 2 && current_.delimiter.empty()) {
      std::string width(current_.modifier.begin() + 1, current_.modifier.end());
      current_.delimiter.assign(1, current_.modifier.front());
      current_.modifier = std::move(width);
    }
    counters_.delimiterPosition = counters_.modifierPosition > 0 ? counters_.modifierPosition - 1
                                                                 : counters_.modifierPosition;
  }

  PositionCounters& counters_;
  TokenList tokens_;
  std::vector<std::string> messages_;
  DistinctPieces pieces_;
  Token current_;
};

}  // namespace zt::token

#endif  // ZT_TOKEN_TOKEN_BUILDER_H
