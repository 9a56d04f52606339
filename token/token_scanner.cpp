#include "token/token_scanner.h"

#include "token/char_class.h"

namespace zt::token {
namespace {

enum class State { Between, AfterPercent, Modifier, Delimiter, Specifier, Literal };

// Both builder interfaces declare the same operations, so one state machine drives either.
template <class Builder>
int scanWith(Builder* builder, const std::string& formatString) {
  if (builder == nullptr) {
    return 0;
  }
  // Only the top of the state stack ever counts, and its shape is fixed: Modifier, Delimiter and
  // Specifier sit on AfterPercent, which sits on Between; Literal is never popped, only covered
  // by a new Between. So one state variable stands for the whole stack.
  State state = State::Between;
  const char* cursor = formatString.data();
  const char* const end = cursor + formatString.size();
  auto nextIs = [&](char c) { return cursor != end && *cursor == c; };

  builder->reset();
  while (cursor != end) {
    const char c = *cursor++;
    if (c == '\0') {
      break;
    }
    bool endOfInput = false;
    switch (state) {
      case State::Between:
        if (c == '%' || c == '#') {
          builder->beginToken(c);
          if (nextIs(c)) {
            state = State::Literal;
            builder->addSpecifier('M');
            ++cursor;
            builder->addText(c);
          } else if (c == '%') {
            state = State::AfterPercent;
          } else {
            builder->addSpecifier('S');
            builder->addModifier('#');
            builder->commitToken();
          }
        } else if (c == ' ') {
          builder->beginToken(' ');
          builder->addSpecifier('_');
          builder->commitToken();
        } else {
          builder->beginToken(c);
          builder->addSpecifier('M');
          builder->addText(c);
          state = State::Literal;
        }
        break;
      case State::AfterPercent:
        --cursor;
        state = isDigit(c)         ? State::Modifier
                : isPunctuation(c) ? State::Delimiter
                                   : State::Specifier;
        break;
      case State::Modifier:
        builder->addModifier(c);
        if (cursor == end) {
          endOfInput = true;
        } else if (!isDigit(*cursor)) {
          state = State::AfterPercent;
        }
        break;
      case State::Delimiter:
        builder->addDelimiter(c);
        if (cursor == end) {
          endOfInput = true;
        } else if (!isPunctuation(*cursor)) {
          state = State::AfterPercent;
        }
        break;
      case State::Specifier:
        builder->addSpecifier(c);
        builder->commitToken();
        state = State::Between;
        break;
      case State::Literal:
        if (c == '%' && cursor == end) {
          endOfInput = true;  // a trailing % is dropped; the text before it is committed below
        } else if ((c == '%' || c == '#') && nextIs(c)) {
          ++cursor;
          builder->addText(c);
        } else if (c == '%' || c == '#') {
          --cursor;
          builder->commitToken();
          state = State::Between;
        } else if (c == ' ' && (nextIs('%') || nextIs('#') || nextIs(' '))) {
          builder->commitToken();
          builder->beginToken(' ');
          builder->addSpecifier('_');
          builder->commitToken();
          state = State::Between;
        } else {
          builder->addText(c);
        }
        break;
    }
    if (endOfInput) {
      break;
    }
  }
  if (state == State::Literal) {
    builder->commitToken();
  }
  builder->finish();
  return 0;
}

}  // namespace

int TokenStringScanner::scan(TokenParserInterface* builder, const std::string& formatString) {
  return scanWith(builder, formatString);
}

int TokenStringScanner::scan(TokenParserExInterface* builder, const std::string& formatString) {
  return scanWith(builder, formatString);
}

}  // namespace zt::token
