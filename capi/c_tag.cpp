// The tag manager behind a C handle.
#include "capi/c_support.h"

using zt::capi::guarded;
using zt::capi::require;

struct zt_tag_manager : zt::capi::ToolHandle<KORATagManagerInterface, KORATagManagerFactory_Create,
                                             KORATagManagerFactory_Destroy> {};

namespace {

// One lookup: `answer` gets what `lookup` returns.
template <class Answer, class Lookup>
int lookUp(zt_tag_manager* tags, Answer* answer, Lookup lookup) {
  return guarded([&] {
    require(tags, "tags");
    require(answer, "answer");
    *answer = lookup(*tags->tool);
    return ZT_OK;
  });
}

}  // namespace

extern "C" {

zt_tag_manager* zt_tag_manager_new(void) {
  return zt::capi::newHandle<zt_tag_manager>();
}

void zt_tag_manager_free(zt_tag_manager* tags) {
  zt::capi::freeHandle(tags);
}

int zt_tag_manager_get_path(zt_tag_manager* tags, const char** path) {
  return lookUp(tags, path, [](auto& tool) { return tool.getPath(); });
}

int zt_tag_manager_load(zt_tag_manager* tags, const char* path) {
  return guarded([&] {
    require(tags, "tags");
    require(path, "path");
    if (!tags->tool->load(path)) {
      throw zt::capi::Refusal{ZT_E_FAIL, "the tag store could not be loaded: ", path};
    }
    return ZT_OK;
  });
}

int zt_tag_manager_lookup_tag_name(zt_tag_manager* tags, int32_t tag_id, const char** name) {
  return lookUp(tags, name, [&](auto& tool) { return tool.lookupTagName(tag_id); });
}

int zt_tag_manager_lookup_tag_id(zt_tag_manager* tags, const char* name, int32_t* tag_id) {
  return lookUp(tags, tag_id, [&](auto& tool) {
    require(name, "name");
    return tool.lookupTagId(name);
  });
}

int zt_tag_manager_get_tag_id(zt_tag_manager* tags, const char* name, int32_t* tag_id) {
  return lookUp(tags, tag_id, [&](auto& tool) {
    require(name, "name");
    return tool.getTagId(name);
  });
}

int zt_tag_manager_get_value_id(zt_tag_manager* tags, int32_t tag_id, const char* value_name,
                                int32_t* value_id) {
  return lookUp(tags, value_id, [&](auto& tool) {
    require(value_name, "value_name");
    return tool.getValueId(tag_id, value_name);
  });
}

int zt_tag_manager_get_tag_name(zt_tag_manager* tags, int32_t tag_id, const char** name) {
  return lookUp(tags, name, [&](auto& tool) { return tool.getTagName(tag_id); });
}

int zt_tag_manager_get_value_name(zt_tag_manager* tags, int32_t tag_id, int32_t value_id,
                                  const char** name) {
  return lookUp(tags, name, [&](auto& tool) { return tool.getValueName(tag_id, value_id); });
}

}  // extern "C"
