// The log manager behind a C handle, with C confirm and status callbacks.
#include "capi/c_support.h"

using zt::capi::guarded;
using zt::capi::require;

struct zt_log_manager : zt::capi::ToolHandle<KORALogManagerInterface, KORALogManagerFactory_Create,
                                             KORALogManagerFactory_Destroy> {
  std::string version;  // the last getVersion, which the tool returns by value
};

namespace {

// Runs one policy; `count` may be null.
template <class Count, class Policy>
int runPolicy(zt_log_manager* logs, Count* count, Policy policy) {
  return guarded([&] {
    require(logs, "logs");
    const Count result = policy(*logs->tool);
    if (count != nullptr) {
      *count = result;
    }
    return ZT_OK;
  });
}

int giveReport(zt_log_manager* logs, char** report,
               const std::string& (KORALogManagerInterface::*which)()) {
  return guarded([&] {
    require(logs, "logs");
    require(report, "report");
    return zt::capi::giveText(((*logs->tool).*which)(), report);
  });
}

}  // namespace

extern "C" {

zt_log_manager* zt_log_manager_new(void) {
  return zt::capi::newHandle<zt_log_manager>();
}

void zt_log_manager_free(zt_log_manager* logs) {
  zt::capi::freeHandle(logs);
}

int zt_log_manager_get_version(zt_log_manager* logs, const char** version) {
  return guarded([&] {
    require(logs, "logs");
    require(version, "version");
    logs->version = logs->tool->getVersion();
    *version = logs->version.c_str();
    return ZT_OK;
  });
}

int zt_log_manager_set_path(zt_log_manager* logs, const char* folder) {
  return guarded([&] {
    require(logs, "logs");
    require(folder, "folder");
    logs->tool->setPath(folder);
    return ZT_OK;
  });
}

int zt_log_manager_remove_all(zt_log_manager* logs, uint32_t* count) {
  return runPolicy(logs, count, [](auto& tool) { return tool.removeAll(); });
}

int zt_log_manager_keep_latest(zt_log_manager* logs, int32_t* count) {
  return runPolicy(logs, count, [](auto& tool) { return tool.keepLatest(); });
}

int zt_log_manager_keep_today(zt_log_manager* logs, int32_t* count) {
  return runPolicy(logs, count, [](auto& tool) { return tool.keepToday(); });
}

int zt_log_manager_keep_this_week(zt_log_manager* logs, int32_t* count) {
  return runPolicy(logs, count, [](auto& tool) { return tool.keepThisWeek(); });
}

int zt_log_manager_keep_this_month(zt_log_manager* logs, int32_t* count) {
  return runPolicy(logs, count, [](auto& tool) { return tool.keepThisMonth(); });
}

int zt_log_manager_remove_by_threshold(zt_log_manager* logs, int32_t megabytes, int32_t order,
                                       int32_t* count) {
  return runPolicy(logs, count,
                   [&](auto& tool) { return tool.removeByThreshold(megabytes, order); });
}

int zt_log_manager_get_report(zt_log_manager* logs, char** report) {
  return giveReport(logs, report, &KORALogManagerInterface::getReport);
}

int zt_log_manager_get_delete_report(zt_log_manager* logs, char** report) {
  return giveReport(logs, report, &KORALogManagerInterface::getDeleteReport);
}

int zt_log_manager_delete_files(zt_log_manager* logs, zt_log_confirm_fn confirm, void* user,
                                int32_t* result) {
  return runPolicy(logs, result, [&](auto& tool) {
    if (confirm == nullptr) {
      return tool.deleteFiles();
    }
    return tool.deleteFiles(
        [confirm, user](const std::string& path) { return confirm(user, path.c_str()); });
  });
}

int zt_log_manager_set_status_callback(zt_log_manager* logs, zt_log_status_fn status, void* user) {
  return guarded([&] {
    require(logs, "logs");
    if (status == nullptr) {
      logs->tool->setStatusCallback({});
    } else {
      logs->tool->setStatusCallback(
          [status, user](const std::string& line) { status(user, line.c_str()); });
    }
    return ZT_OK;
  });
}

}  // extern "C"
