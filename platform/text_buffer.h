// A growing text held in one malloc block. Unlike std::string, growth goes through realloc,
// which for a large block remaps its pages instead of copying them: a document of many
// megabytes is then built with no copy of what was already written.
#ifndef ZT_PLATFORM_TEXT_BUFFER_H
#define ZT_PLATFORM_TEXT_BUFFER_H

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

namespace zt::platform {

// The text of a TextBuffer as it was when lent (TextBuffer::lend), for a reader that keeps it
// while the buffer goes on: the text stays unchanged and valid for as long as the reader holds
// this, whatever the buffer does meanwhile.
class LentText {
 public:
  LentText() = default;
  ~LentText() { std::free(block_); }
  LentText(const LentText&) = delete;
  LentText& operator=(const LentText&) = delete;

 private:
  friend class TextBuffer;
  // The text's block, once the buffer has let it go to the reader.
  char* block_ = nullptr;
};

class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer() {
    letGo(false);
    std::free(data_);
  }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // The text, always followed by a zero byte.
  [[nodiscard]] std::string_view view() const { return {data_ == nullptr ? "" : data_, size_}; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] char back() const { return data_[size_ - 1]; }
  void clear() {
    letGo(false);
    size_ = 0;
    if (data_ != nullptr) {
      data_[0] = '\0';
    }
  }

  // Lends the text at view().data() to a reader. The text is not copied now: the buffer keeps
  // writing into its block until it is next written to while the reader still holds the
  // LentText, and only then copies its text to go on with, leaving the block to the reader. A
  // clear or the buffer's end hands the block over without a copy.
  std::shared_ptr<const LentText> lend() {
    auto lent = std::make_shared<LentText>();
    lent_ = lent;
    if (!lentOut_) {
      // No room while lent: the next write goes through reserve's slow path, which ends the
      // loan, so that the writes themselves test nothing more.
      lentOut_ = true;
      lentCapacity_ = std::exchange(capacity_, 0);
    }
    return lent;
  }

  TextBuffer& operator+=(std::string_view text) {
    append(text.data(), text.size());
    return *this;
  }
  TextBuffer& operator+=(char c) {
    reserve(size_ + 1);
    data_[size_++] = c;
    data_[size_] = '\0';
    return *this;
  }
  void append(const char* text, std::size_t length) {
    reserve(size_ + length);
    std::memcpy(data_ + size_, text, length);
    size_ += length;
    data_[size_] = '\0';
  }
  // Makes `length` more characters part of the text and returns where they start, for the
  // caller to fill at once: one test for room and one terminator for a piece written in several
  // parts.
  [[nodiscard]] char* extend(std::size_t length) {
    reserve(size_ + length);
    char* at = data_ + size_;
    size_ += length;
    data_[size_] = '\0';
    return at;
  }
  void append(std::size_t count, char c) {
    reserve(size_ + count);
    std::memset(data_ + size_, c, count);
    size_ += count;
    data_[size_] = '\0';
  }

 private:
  // Room for `size` characters and the terminator.
  void reserve(std::size_t size) {
    if (size < capacity_) {
      return;
    }
    letGo(true);
    if (size >= capacity_) {
      grow(size);
    }
  }
  // Grows by half again at least.
  void grow(std::size_t size) {
    std::size_t capacity = capacity_ + capacity_ / 2;
    if (capacity < size + 1) {
      capacity = size + 1 < 256 ? 256 : size + 1;
    }
    void* grown = std::realloc(data_, capacity);
    if (grown == nullptr) {
      throw std::bad_alloc();
    }
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
  }
  // Ends a loan before the block changes or goes. A reader still holding the text keeps the
  // block; the buffer then goes on with a copy of its text when `keepText`, empty otherwise.
  void letGo(bool keepText) {
    if (!lentOut_) {
      return;
    }
    const std::shared_ptr<LentText> lent = lent_.lock();
    std::unique_ptr<char, decltype(&std::free)> copy(nullptr, &std::free);
    std::size_t capacity = lentCapacity_;
    if (lent != nullptr && data_ != nullptr && keepText) {
      // Allocated before anything changes, so that running out of memory leaves the loan as it
      // was.
      capacity = size_ + 1 < 256 ? 256 : size_ + 1;
      copy.reset(static_cast<char*>(std::malloc(capacity)));
      if (copy == nullptr) {
        throw std::bad_alloc();
      }
      std::memcpy(copy.get(), data_, size_ + 1);
    }
    lentOut_ = false;
    lent_.reset();
    capacity_ = capacity;
    if (lent == nullptr || data_ == nullptr) {
      return;
    }
    lent->block_ = std::exchange(data_, copy.release());
    if (data_ == nullptr) {
      size_ = capacity_ = 0;
    }
  }

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  bool lentOut_ = false;
  std::size_t lentCapacity_ = 0;
  std::weak_ptr<LentText> lent_;
};

}  // namespace zt::platform

#endif  // ZT_PLATFORM_TEXT_BUFFER_H
