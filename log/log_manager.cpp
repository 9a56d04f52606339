#include "log/log_manager.h"

#include "log/log_report.h"
#include "log/log_retention.h"

namespace zt::log {

struct KORALogManager::Record {
  std::string folder;
  std::string policyReport;
  std::string deletionReport;
  LogList keep;
  LogList remove;
  LogList results;
  StatusCallable status;

  // An empty folder leaves the lists as the previous call left them.
  void rescan(LogList& target) {
    if (folder.empty()) {
      return;
    }
    target.clear();
    int32_t nextId = 0;
    scanFolder(folder, nextId, target);
  }

  void report(const char* title) { policyReport = log::policyReport(title, folder, keep, remove); }

  void keepPeriod(Period period, const char* title) {
    rescan(remove);
    if (!remove.empty()) {
      keepSince(periodStart(period, KORALogEntryTime().unixTime), keep, remove);
    }
    report(title);
  }
};

KORALogManager::KORALogManager() : record_(std::make_unique<Record>()) {}

KORALogManager::~KORALogManager() = default;

std::string KORALogManager::getVersion() {
  return "1.0.12001.24001";
}

void KORALogManager::setPath(const std::string& folder) {
  record_->folder = folder;
}

uint32_t KORALogManager::removeAll() {
  record_->rescan(record_->remove);
  record_->report("removeAll");
  return static_cast<uint32_t>(record_->remove.size());
}

int32_t KORALogManager::keepLatest() {
  record_->rescan(record_->remove);
  log::keepLatest(record_->keep, record_->remove);
  record_->report("keepLatest");
  return 0;
}

int32_t KORALogManager::keepToday() {
  record_->keepPeriod(Period::today, "m_pimpl->m_keepToday");
  return 0;
}

int32_t KORALogManager::keepThisWeek() {
  record_->keepPeriod(Period::thisWeek, "m_pimpl->m_keepThisWeek");
  return 0;
}

int32_t KORALogManager::keepThisMonth() {
  record_->keepPeriod(Period::thisMonth, "m_pimpl->m_keepThisMonth");
  return 0;
}

int32_t KORALogManager::removeByThreshold(int32_t megabytes, int32_t order) {
  record_->rescan(record_->keep);
  log::removeByThreshold(megabytes, order, record_->keep, record_->remove);
  record_->report("removeByThreshold");
  return 0;
}

const std::string& KORALogManager::getReport() {
  return record_->policyReport;
}

const std::string& KORALogManager::getDeleteReport() {
  return record_->deletionReport;
}

int32_t KORALogManager::deleteFiles(std::function<bool(const std::string&)> confirm) {
  log::deleteFiles(record_->remove, record_->results, confirm, record_->status);
  record_->deletionReport = deletionReport("deleteFiles", record_->folder, record_->results);
  return 0;
}

int32_t KORALogManager::deleteFiles() {
  return deleteFiles(std::function<bool(const std::string&)>());
}

void KORALogManager::setStatusCallback(std::function<void(const std::string&)> status) {
  record_->status = std::move(status);
}

}  // namespace zt::log
