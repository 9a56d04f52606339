// CLumtagsContentHandler: reads a tag store document into a TagDictionary.
//
// A store is <vexkoratagstore><tags><tag name="..."><id>N</id><tagvalues><tagvalue
// name="..."><value>N</value></tagvalue>...</tagvalues></tag>...</tags></vexkoratagstore>. The
// handler checks none of this nesting: the end of an `id` creates a tag from the last `name`
// attribute seen, and the end of a `value` adds a value, named by the last `name` attribute, to
// the tag created last.
#ifndef ZT_TAG_TAG_CONTENT_HANDLER_H
#define ZT_TAG_TAG_CONTENT_HANDLER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "tag/tag_dictionary.h"
#include "zttools.h"

namespace zt::tag {

class CLumtagsContentHandler final : public IKORAXmlContentHandler {
 public:
  // Codes of the store's words; every other word is foreign.
  enum Code : int32_t {
    kStore = 0,
    kTags = 1,
    kTag = 2,
    kName = 3,
    kId = 4,
    kTagValues = 5,
    kTagValue = 6,
    kValue = 7,
    kForeign = 8,
  };

  explicit CLumtagsContentHandler(TagDictionary& owner) : owner_(owner) {}

  int startDocument() override;
  int endDocument() override { return 0; }
  int reserved(void* /*unused*/) override { return 0; }
  int startElement(const char* name) override;
  int characters(const char* text) override;
  int endElement(const char* name) override;
  void startAttributes(const char* /*element*/) override {}
  int attribute(const char* name, const char* value) override;
  void endAttributes(const char* /*element*/) override {}
  void setController(IKORAXmlContentController* /*controller*/) override {}

 private:
  int pushGrowing(Code code);
  int keepAnyId(const char* text);
  int fileTag();
  void growName(std::size_t length);

  // The codes of the open elements, as far as the handler acts on them: kStore (a foreign
  // attribute is tolerated there), kId and kValue (their end files what was read); every other
  // word, of the vocabulary or not, is kept as kForeign, since nothing tells those apart.
  std::unique_ptr<Code[]> elements_;
  std::size_t depth_ = 0;
  std::size_t capacity_ = 0;
  // The number the last text chunk starts with (0 before any text).
  int32_t textId_ = 0;
  // The value of the last name attribute, in a block that only grows (growName), so that keeping
  // a name is a measure and a copy.
  std::unique_ptr<char[]> name_;
  std::size_t nameLength_ = 0;
  std::size_t nameRoom_ = 0;
  // The name's hash, when it was taken for a tag's name (see attribute).
  uint64_t nameHash_ = 0;
  bool nameHashed_ = false;
  // The item created last by this handler; see endElement for why it stays valid.
  LumtagsDictItem* current_ = nullptr;
  TagDictionary& owner_;
};

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_CONTENT_HANDLER_H
