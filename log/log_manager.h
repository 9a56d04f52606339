// KORALogManager: the public log-folder retention tool.
#ifndef ZT_LOG_LOG_MANAGER_H
#define ZT_LOG_LOG_MANAGER_H

#include <memory>

#include "zttools.h"

namespace zt::log {

// Keeps three lists between calls: files kept by the policies, files to delete, and the results
// of the last deletion run. A policy rescans its own list when a folder is set and only appends
// to the other, so policies can be combined; with no folder set they work on what is left.
class KORALogManager : public KORALogManagerInterface {
 public:
  KORALogManager();
  KORALogManager(const KORALogManager&) = delete;
  KORALogManager& operator=(const KORALogManager&) = delete;
  ~KORALogManager() override;

  std::string getVersion() override;
  void setPath(const std::string& folder) override;
  uint32_t removeAll() override;
  int32_t keepLatest() override;
  int32_t keepToday() override;
  int32_t keepThisWeek() override;
  int32_t keepThisMonth() override;
  int32_t removeByThreshold(int32_t megabytes, int32_t order) override;
  const std::string& getReport() override;
  const std::string& getDeleteReport() override;
  int32_t deleteFiles(std::function<bool(const std::string&)> confirm) override;
  // Dispatches to the confirming deleteFiles through the table of virtual operations, so a class
  // that replaces that one changes this operation too.
  int32_t deleteFiles() override;
  void setStatusCallback(std::function<void(const std::string&)> status) override;

 private:
  struct Record;
  std::unique_ptr<Record> record_;
};

}  // namespace zt::log

#endif  // ZT_LOG_LOG_MANAGER_H
