#include "tag/tag_content_handler.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/probe_table.h"
#include "platform/short_bytes.h"
#include "tag/tag_id_reader.h"

namespace zt::tag {
namespace {

// `word` past `prefix`, or null when `word` does not start with it. The comparison stops at the
// first difference, which the end of `word` is at the latest, so `word` is never measured.
const char* after(const char* word, std::string_view prefix) {
  for (const char c : prefix) {
    if (*word++ != c) {
      return nullptr;
    }
  }
  return word;
}

bool is(const char* word, std::string_view literal) {
  const char* rest = after(word, literal);
  return rest != nullptr && *rest == '\0';
}

// Inlined at both its callers, the start tag's and the attribute's, each on its usual path.
[[gnu::always_inline]] inline CLumtagsContentHandler::Code codeOf(const char* word) {
  using enum CLumtagsContentHandler::Code;
  // Every element and attribute name of a store comes through here: the first letter leaves at
  // most one candidate, or the four that start with "tag", told apart by what follows.
  switch (word[0]) {
    case 'i':
      return is(word + 1, "d") ? kId : kForeign;
    case 'n':
      return is(word + 1, "ame") ? kName : kForeign;
    case 'v':
      if (word[1] == 'a') {
        return is(word + 2, "lue") ? kValue : kForeign;
      }
      return is(word + 1, "exkoratagstore") ? kStore : kForeign;
    case 't':
      break;
    default:
      return kForeign;
  }
  const char* rest = after(word + 1, "ag");
  if (rest == nullptr) {
    return kForeign;
  }
  if (*rest == '\0') {
    return kTag;
  }
  if (is(rest, "s")) {
    return kTags;
  }
  rest = after(rest, "value");
  if (rest == nullptr) {
    return kForeign;
  }
  if (*rest == '\0') {
    return kTagValue;
  }
  return is(rest, "s") ? kTagValues : kForeign;
}

// The code an open element is kept under: see the element stack. Only the store's root, `id` and
// `value` are acted on, and those start with 'i' or 'v', so the "tag" words are not told apart.
CLumtagsContentHandler::Code elementCode(const char* word) {
  return word[0] == 'i' || word[0] == 'v' ? codeOf(word) : CLumtagsContentHandler::Code::kForeign;
}

}  // namespace

// The text's number, the name and the current item carry over from an earlier document on
// purpose: a store is read in one parse, and nothing depends on them between parses.
int CLumtagsContentHandler::startDocument() {
  depth_ = 0;
  return 0;
}

[[gnu::cold]] int CLumtagsContentHandler::pushGrowing(Code code) {
  const std::size_t capacity = capacity_ == 0 ? 32 : capacity_ * 2;
  auto elements = std::make_unique_for_overwrite<Code[]>(capacity);
  std::copy_n(elements_.get(), depth_, elements.get());
  elements_ = std::move(elements);
  capacity_ = capacity;
  elements_[depth_++] = code;
  return 0;
}

// The growing push is a tail call, so that the usual one sets up no frame.
int CLumtagsContentHandler::startElement(const char* name) {
  const Code code = elementCode(name);
  if (depth_ == capacity_) [[unlikely]] {
    return pushGrowing(code);
  }
  elements_[depth_++] = code;
  return 0;
}

// Also made for an empty first name, so that the copy never writes through a null pointer.
[[gnu::cold]] void CLumtagsContentHandler::growName(std::size_t length) {
  nameRoom_ = std::max<std::size_t>({length + 1, 2 * nameRoom_, 64});
  // What the block held is not kept: the name that asked for more room replaces it.
  name_ = std::make_unique_for_overwrite<char[]>(nameRoom_);
}

int CLumtagsContentHandler::attribute(const char* name, const char* value) {
  switch (codeOf(name)) {
    case kName: {
      const std::size_t length = std::strlen(value);
      if (length >= nameRoom_) [[unlikely]] {
        growName(length);
      }
      platform::copyShort(name_.get(), value, length);
      nameLength_ = length;
      // A tag's name comes at the third level of a store. Its hash is taken now and the place
      // where the by-name index will file it is fetched, while the tag's id is read: filing the
      // tag at the end of the id would otherwise wait for that memory. Only a hint: the hash is
      // used only while it is the current name's.
      nameHashed_ = depth_ == 3;
      if (nameHashed_) {
        nameHash_ = platform::hashName({name_.get(), length});
        owner_.expectName(nameHash_);
      }
      return 0;
    }
    case kForeign:
      // A foreign attribute is tolerated on the root element only.
      return depth_ != 0 && elements_[depth_ - 1] != kStore ? 1 : 0;
    default:
      return 0;
  }
}

// Only the number at the start of the last chunk is ever used, so that is what is kept.
int CLumtagsContentHandler::characters(const char* text) {
  return readUsualId(text, textId_) ? 0 : keepAnyId(text);
}

// Out of line and reached by a tail call, so that the usual texts need no frame.
[[gnu::noinline]] int CLumtagsContentHandler::keepAnyId(const char* text) {
  textId_ = readAnyId(text);
  return 0;
}

int CLumtagsContentHandler::endElement(const char* /*name*/) {
  if (depth_ == 0) {
    return 0;
  }
  const Code code = elements_[--depth_];
  if (code == kId) {
    return fileTag();
  }
  if (code == kValue) {
    // `current_` is the item created last, which the id index holds and whose name is filed by
    // the next creation (nothing else changes the dictionary during a parse), so it is still
    // alive.
    TagDictionary::addValue(textId_, {name_.get(), nameLength_}, current_);
  }
  return 0;
}

// Out of line and reached by a tail call, so that the end of every other element needs no frame
// for keeping the new item.
[[gnu::noinline]] int CLumtagsContentHandler::fileTag() {
  const std::string_view name(name_.get(), nameLength_);
  current_ = owner_.createItemNamedLater(static_cast<uint16_t>(textId_), name,
                                         nameHashed_ ? nameHash_ : platform::hashName(name));
  return 0;
}

}  // namespace zt::tag
