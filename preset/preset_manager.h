// KORAPresetManager: open presets under numeric handles, the public preset tool.
#ifndef ZT_PRESET_PRESET_MANAGER_H
#define ZT_PRESET_PRESET_MANAGER_H

#include <memory>

#include "zttools.h"

namespace zt::preset {

// Handles start at the low 32 bits of the current time in seconds with the low 8 bits cleared
// and grow by 16 with each successful open, so that within one manager a handle is never issued
// twice and 0 (the failure of open) never is.
class KORAPresetManager : public KORAPresetManagerInterface {
 public:
  KORAPresetManager();
  KORAPresetManager(const KORAPresetManager&) = delete;
  KORAPresetManager& operator=(const KORAPresetManager&) = delete;
  ~KORAPresetManager() override;

  const char* getVersion() override;
  uint32_t open(const std::string& path) override;
  int32_t close(uint32_t handle) override;
  bool saveAs(uint32_t handle, const std::string& path) override;
  bool save(uint32_t handle) override;
  const char* getValue(uint32_t handle, const std::string& key) override;
  void setDefault(uint32_t handle) override;
  // Dispatches to addMissing through the table of virtual operations, so a class that replaces
  // addMissing changes this operation too.
  bool addMissingFromDefault(uint32_t handle) override;
  std::map<std::string, std::string> getDifferences(uint32_t first, uint32_t second) override;
  bool addMissing(uint32_t from, uint32_t to) override;

 private:
  struct Record;
  std::unique_ptr<Record> record_;
};

}  // namespace zt::preset

#endif  // ZT_PRESET_PRESET_MANAGER_H
