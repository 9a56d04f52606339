#include "preset/preset_manager.h"

#include <ctime>

#include "platform/last_error.h"
#include "preset/preset_file.h"

namespace zt::preset {

namespace {

constexpr uint32_t kHandleStep = 16;

// Returned for an absent value; a literal lives as long as the library.
constexpr const char* kEmptyText = "";

uint32_t firstHandle() {
  const auto seconds = static_cast<uint64_t>(std::time(nullptr));
  const auto base = static_cast<uint32_t>(seconds) & ~uint32_t{0xFF};
  return base == 0 ? kHandleStep : base;
}

}  // namespace

struct KORAPresetManager::Record {
  uint32_t nextHandle = firstHandle();
  uint32_t defaultHandle = 0;
  std::map<uint32_t, std::shared_ptr<KORAPresetFile>> table;

  [[nodiscard]] std::shared_ptr<KORAPresetFile> find(uint32_t handle) const {
    const auto found = table.find(handle);
    return found == table.end() ? nullptr : found->second;
  }
};

KORAPresetManager::KORAPresetManager() : record_(std::make_unique<Record>()) {}

KORAPresetManager::~KORAPresetManager() = default;

const char* KORAPresetManager::getVersion() {
  return "1.0.12001.24001";
}

uint32_t KORAPresetManager::open(const std::string& path) {
  auto preset = std::make_shared<KORAPresetFile>();
  if (!preset->load(path)) {
    return 0;
  }
  const uint32_t handle = record_->nextHandle;
  record_->table.emplace(handle, std::move(preset));
  record_->nextHandle += kHandleStep;
  if (record_->nextHandle == 0) {
    record_->nextHandle = kHandleStep;
  }
  return handle;
}

int32_t KORAPresetManager::close(uint32_t handle) {
  if (handle != 0) {
    record_->table.erase(handle);
  }
  return 0;
}

bool KORAPresetManager::saveAs(uint32_t handle, const std::string& path) {
  const auto preset = record_->find(handle);
  if (!preset) {
    platform::setLastError(platform::kInvalidHandleError);
    return false;
  }
  return preset->save(path);
}

bool KORAPresetManager::save(uint32_t handle) {
  const auto preset = record_->find(handle);
  if (!preset) {
    platform::setLastError(platform::kInvalidHandleError);
    return false;
  }
  return preset->save(preset->path());
}

const char* KORAPresetManager::getValue(uint32_t handle, const std::string& key) {
  const auto preset = record_->find(handle);
  const char* value = preset ? preset->value(key) : nullptr;
  return value != nullptr ? value : kEmptyText;
}

void KORAPresetManager::setDefault(uint32_t handle) {
  record_->defaultHandle = handle;
}

bool KORAPresetManager::addMissingFromDefault(uint32_t handle) {
  return addMissing(record_->defaultHandle, handle);
}

std::map<std::string, std::string> KORAPresetManager::getDifferences(uint32_t first,
                                                                     uint32_t second) {
  const auto one = record_->find(first);
  const auto other = record_->find(second);
  if (!one || !other) {
    return {};
  }
  return one->differences(*other);
}

bool KORAPresetManager::addMissing(uint32_t from, uint32_t to) {
  const auto source = record_->find(from);
  const auto target = record_->find(to);
  if (!source || !target) {
    return false;
  }
  return KORAPresetFile::addMissing(*source, *target);
}

}  // namespace zt::preset
