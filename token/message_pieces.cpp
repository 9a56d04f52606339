#include "token/message_pieces.h"

#include <algorithm>

namespace zt::token {

std::size_t normaliseMessages(std::vector<std::string>& list) {
  if (list.empty()) {
    return 0;
  }
  const bool anyLong = std::any_of(list.begin(), list.end(),
                                   [](const std::string& s) { return s.size() > kMaxPieceLength; });
  if (anyLong) {
    std::vector<std::string> pieces;
    pieces.reserve(list.size());
    for (const std::string& text : list) {
      forEachPiece(text, [&pieces](std::string_view piece) { pieces.emplace_back(piece); });
    }
    list = std::move(pieces);
  }
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  std::stable_sort(list.begin(), list.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  return list.size();
}

void DistinctPieces::add(std::string_view text) {
  forEachPiece(text, [this](std::string_view piece) {
    if (pieces_.find(piece) == pieces_.end()) {
      pieces_.emplace(piece);
    }
  });
}

}  // namespace zt::token
