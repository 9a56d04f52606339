#include "xml/attribute_sets.h"

namespace zt::xml {

namespace {

uintptr_t addressOf(const IKORAXmlAttribute* handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

}  // namespace

uintptr_t AttributeSets::Block::start() const {
  return reinterpret_cast<uintptr_t>(sets.data());
}

std::size_t AttributeSets::Block::indexOf(uintptr_t address) const {
  const uintptr_t offset = address - start();  // wraps for addresses below the block
  const std::size_t index = offset / sizeof(KORAXmlAttribute);
  return offset % sizeof(KORAXmlAttribute) == 0 && index < sets.size() ? index : kBlockSets;
}

KORAXmlAttribute& AttributeSets::make() {
  if (blocks_.empty() || blocks_.back()->sets.size() == kBlockSets) {
    Block& block = *blocks_.emplace_back(std::make_unique<Block>());
    const uintptr_t first = block.start() / kStretch;
    const uintptr_t last = (block.start() + kStretch - 1) / kStretch;
    for (uintptr_t stretch = first; stretch <= last; ++stretch) {
      // Blocks never share an address, so each filing is a new entry.
      byStretch_.assign(platform::hashFinish(stretch), &block, [](const Block*) { return false; });
    }
  }
  return blocks_.back()->sets.emplace_back(&pairs_);
}

KORAXmlAttribute* AttributeSets::find(const IKORAXmlAttribute* handle) const {
  if (handle == nullptr) {
    return nullptr;
  }
  if (handle == lastHandle_) {
    return lastFound_;
  }
  const uintptr_t address = addressOf(handle);
  Block* block = byStretch_.find(platform::hashFinish(address / kStretch), [&](const Block* filed) {
    return filed->indexOf(address) != kBlockSets;
  });
  if (block == nullptr) {
    return nullptr;  // not kept: a block made later may start there
  }
  lastHandle_ = handle;
  lastFound_ = &block->sets[block->indexOf(address)];
  return lastFound_;
}

}  // namespace zt::xml
