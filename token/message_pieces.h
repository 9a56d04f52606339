// Message pieces: message texts cut into pieces of at most 20 characters, deduplicated and
// ordered longest first. They are what the six-message limit counts and what the "messages" part
// of a processedtokens document lists.
#ifndef ZT_TOKEN_MESSAGE_PIECES_H
#define ZT_TOKEN_MESSAGE_PIECES_H

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "token/char_class.h"

namespace zt::token {

inline constexpr std::size_t kMaxPieceLength = 20;

// Calls `emit` with each piece of `text`, in order. A text of at most 20 characters is one piece;
// a longer one is cut before the last white-space or punctuation character of each 20-character
// window (the break character begins the next piece), or after 20 characters when the window
// has none except at its start.
template <class Emit>
void forEachPiece(std::string_view text, Emit&& emit) {
  while (text.size() > kMaxPieceLength) {
    std::size_t cut = kMaxPieceLength;
    for (std::size_t i = kMaxPieceLength - 1; i > 0; --i) {
      if (isSpace(text[i]) || isPunctuation(text[i])) {
        cut = i;
        break;
      }
    }
    emit(text.substr(0, cut));
    text.remove_prefix(cut);
  }
  // What is left after cutting is never empty; a text short from the start is one piece, even
  // when empty.
  emit(text);
}

// Cuts every text into pieces (only if some text is longer than 20 characters), sorts them
// byte-wise, drops duplicates, then orders them by length, longest first (equal lengths stay in
// byte order). Returns the number of pieces left.
std::size_t normaliseMessages(std::vector<std::string>& list);

// The distinct pieces of every text added so far: the count that normaliseMessages would give
// for the same texts, kept up to date in O(log n) per piece so that checking the limit at each
// message token never re-sorts the whole list.
class DistinctPieces {
 public:
  void add(std::string_view text);
  [[nodiscard]] std::size_t size() const { return pieces_.size(); }
  void clear() { pieces_.clear(); }

 private:
  std::set<std::string, std::less<>> pieces_;
};

}  // namespace zt::token

#endif  // ZT_TOKEN_MESSAGE_PIECES_H
