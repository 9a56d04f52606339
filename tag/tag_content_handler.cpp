#include "tag/tag_content_handler.h"

#include <string_view>

#include "tag/tag_id_reader.h"

namespace zt::tag {

CLumtagsContentHandler::Code CLumtagsContentHandler::codeOf(const char* word) {
  // Every element and attribute name of a store comes through here: a switch on the length
  // finds the one candidate without building a string.
  const std::string_view text(word);
  const auto is = [&](std::string_view candidate, Code code) {
    return text == candidate ? code : kForeign;
  };
  switch (text.size()) {
    case 2:
      return is("id", kId);
    case 3:
      return is("tag", kTag);
    case 4:
      return text == "tags" ? kTags : is("name", kName);
    case 5:
      return is("value", kValue);
    case 8:
      return is("tagvalue", kTagValue);
    case 9:
      return is("tagvalues", kTagValues);
    case 15:
      return is("vexkoratagstore", kStore);
    default:
      return kForeign;
  }
}

// Text, name and the current item carry over from an earlier document on purpose: a store is
// read in one parse, and nothing depends on them between parses.
int CLumtagsContentHandler::startDocument() {
  elements_.clear();
  return 0;
}

int CLumtagsContentHandler::startElement(const char* name) {
  elements_.push_back(codeOf(name));
  return 0;
}

int CLumtagsContentHandler::attribute(const char* name, const char* value) {
  switch (codeOf(name)) {
    case kName:
      name_ = value;
      return 0;
    case kForeign:
      // A foreign attribute is tolerated on the root element only.
      return !elements_.empty() && elements_.back() != kStore ? 1 : 0;
    default:
      return 0;
  }
}

int CLumtagsContentHandler::characters(const char* text) {
  text_ = text;
  return 0;
}

int CLumtagsContentHandler::endElement(const char* /*name*/) {
  if (elements_.empty()) {
    return 0;
  }
  const int32_t code = elements_.back();
  elements_.pop_back();
  if (code == kId) {
    current_ = owner_.createItem(static_cast<uint16_t>(readId(text_.c_str())), name_);
  } else if (code == kValue) {
    // `current_` is the item created last, and both indexes hold that item until the next
    // createItem (nothing else changes the dictionary during a parse), so it is still alive.
    TagDictionary::addValue(readId(text_.c_str()), name_, current_);
  }
  return 0;
}

}  // namespace zt::tag
