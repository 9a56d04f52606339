// A growing text held in one malloc block. Unlike std::string, growth goes through realloc,
// which for a large block remaps its pages instead of copying them: a document of many
// megabytes is then built with no copy of what was already written.
#ifndef ZT_PLATFORM_TEXT_BUFFER_H
#define ZT_PLATFORM_TEXT_BUFFER_H

#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace zt::platform {

class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer() { std::free(data_); }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // The text, followed by a zero byte once anything was written.
  [[nodiscard]] std::string_view view() const { return {data_ == nullptr ? "" : data_, size_}; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] char back() const { return data_[size_ - 1]; }
  void clear() { size_ = 0; }

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
  void append(std::size_t count, char c) {
    reserve(size_ + count);
    std::memset(data_ + size_, c, count);
    size_ += count;
    data_[size_] = '\0';
  }

 private:
  // Room for `size` characters and the terminator, growing by half again at least.
  void reserve(std::size_t size) {
    if (size < capacity_) {
      return;
    }
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

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace zt::platform

#endif  // ZT_PLATFORM_TEXT_BUFFER_H
