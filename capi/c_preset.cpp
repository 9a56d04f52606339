// The preset manager behind a C handle. File failures come back as -errno, the thread's last
// error the tool leaves.
#include <cerrno>

#include "capi/c_support.h"

using zt::capi::guarded;
using zt::capi::require;

struct zt_preset_manager
    : zt::capi::ToolHandle<KORAPresetManagerInterface, KORAPresetManagerFactory_Create,
                           KORAPresetManagerFactory_Destroy> {};

namespace {

// Runs an operation that answers true or false; false becomes -errno when the tool left a
// code, ZT_E_FAIL otherwise.
template <class Operation>
int succeeded(zt_preset_manager* presets, std::string_view failure, std::string_view what,
              Operation operation) {
  return guarded([&] {
    require(presets, "presets");
    errno = 0;
    if (!operation(*presets->tool)) {
      const int code = errno;
      throw zt::capi::Refusal{code > 0 ? -code : ZT_E_FAIL, failure, what};
    }
    return ZT_OK;
  });
}

template <class Operation>
int done(zt_preset_manager* presets, Operation operation) {
  return guarded([&] {
    require(presets, "presets");
    operation(*presets->tool);
    return ZT_OK;
  });
}

void setAdded(bool* added, bool answer) {
  if (added != nullptr) {
    *added = answer;
  }
}

}  // namespace

extern "C" {

zt_preset_manager* zt_preset_manager_new(void) {
  return zt::capi::newHandle<zt_preset_manager>();
}

void zt_preset_manager_free(zt_preset_manager* presets) {
  zt::capi::freeHandle(presets);
}

int zt_preset_manager_get_version(zt_preset_manager* presets, const char** version) {
  return done(presets, [&](auto& tool) {
    require(version, "version");
    *version = tool.getVersion();
  });
}

int zt_preset_manager_open(zt_preset_manager* presets, const char* path, uint32_t* preset) {
  return succeeded(presets, "the preset could not be read: ", path == nullptr ? "" : path,
                   [&](auto& tool) {
                     require(path, "path");
                     require(preset, "preset");
                     const uint32_t handle = tool.open(path);
                     if (handle != 0) {
                       *preset = handle;
                     }
                     return handle != 0;
                   });
}

int zt_preset_manager_close(zt_preset_manager* presets, uint32_t preset) {
  return done(presets, [&](auto& tool) { tool.close(preset); });
}

int zt_preset_manager_save(zt_preset_manager* presets, uint32_t preset) {
  return succeeded(presets, "the preset could not be saved", "",
                   [&](auto& tool) { return tool.save(preset); });
}

int zt_preset_manager_save_as(zt_preset_manager* presets, uint32_t preset, const char* path) {
  return succeeded(presets, "the preset could not be saved as ", path == nullptr ? "" : path,
                   [&](auto& tool) {
                     require(path, "path");
                     return tool.saveAs(preset, path);
                   });
}

int zt_preset_manager_get_value(zt_preset_manager* presets, uint32_t preset, const char* key,
                                const char** value) {
  return done(presets, [&](auto& tool) {
    require(key, "key");
    require(value, "value");
    *value = tool.getValue(preset, key);
  });
}

int zt_preset_manager_set_default(zt_preset_manager* presets, uint32_t preset) {
  return done(presets, [&](auto& tool) { tool.setDefault(preset); });
}

int zt_preset_manager_add_missing_from_default(zt_preset_manager* presets, uint32_t to,
                                               bool* added) {
  return done(presets, [&](auto& tool) { setAdded(added, tool.addMissingFromDefault(to)); });
}

int zt_preset_manager_add_missing(zt_preset_manager* presets, uint32_t from, uint32_t to,
                                  bool* added) {
  return done(presets, [&](auto& tool) { setAdded(added, tool.addMissing(from, to)); });
}

int zt_preset_manager_get_differences(zt_preset_manager* presets, uint32_t first, uint32_t second,
                                      zt_preset_difference_fn difference, void* user) {
  return done(presets, [&](auto& tool) {
    require(difference, "difference");
    for (const auto& [key, value] : tool.getDifferences(first, second)) {
      difference(user, key.c_str(), value.c_str());
    }
  });
}

}  // extern "C"
