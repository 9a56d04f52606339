// KORATagManager: loads tag store files and translates between tag and value names and ids.
#ifndef ZT_TAG_TAG_MANAGER_H
#define ZT_TAG_TAG_MANAGER_H

#include <memory>
#include <string>

#include "tag/tag_dictionary.h"
#include "zttools.h"

namespace zt::tag {

class KORATagManager : public KORATagManagerInterface {
 public:
  KORATagManager();
  ~KORATagManager() override;
  KORATagManager(const KORATagManager&) = delete;
  KORATagManager& operator=(const KORATagManager&) = delete;

  const char* getPath() override;
  bool load(const char* path) override;
  const char* lookupTagName(int32_t tagId) override;
  int32_t lookupTagId(const char* tagName) override;
  int32_t getTagId(const char* tagName) override;
  int32_t getValueId(int32_t tagId, const char* valueName) override;
  const char* getTagName(int32_t tagId) override;
  const char* getValueName(int32_t tagId, int32_t valueId) override;

  [[nodiscard]] const TagDictionary& dictionary() const { return record_->dictionary; }

 private:
  struct Record {
    std::string path;
    TagDictionary dictionary;
  };

  [[nodiscard]] const LumtagsDictItem* find(int32_t tagId) const;

  std::unique_ptr<Record> record_;
};

}  // namespace zt::tag

#endif  // ZT_TAG_TAG_MANAGER_H
