#include "capi/c_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace zt::capi {
namespace {

// Long enough for every message the library raises; longer texts are cut.
thread_local char lastErrorText[512];

// Copies as much of `text` as fits before a terminator, never splitting a UTF-8 character.
void copyCut(std::string_view text, char* out, size_t capacity) noexcept {
  size_t length = text.size() < capacity ? text.size() : capacity - 1;
  if (length < text.size()) {
    // Back off continuation bytes so that the cut falls before a lead byte.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
      --length;
    }
  }
  text.copy(out, length);
  out[length] = '\0';
}

}  // namespace

void setLastError(std::string_view text, std::string_view detail) noexcept {
  copyCut(text, lastErrorText, sizeof lastErrorText);
  const size_t used = std::strlen(lastErrorText);
  copyCut(detail, lastErrorText + used, sizeof lastErrorText - used);
}

int passStatus(long status) {
  if (status < 0) {
    char text[64];
    std::snprintf(text, sizeof text, "the XML object failed with status 0x%08x",
                  static_cast<unsigned>(status));
    setLastError(text);
  }
  return static_cast<int>(status);
}

int giveText(std::string_view text, char** out) {
  require(out, "text out-parameter");
  auto* block = static_cast<char*>(std::malloc(text.size() + 1));
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  std::memcpy(block, text.data(), text.size());
  block[text.size()] = '\0';
  *out = block;
  return ZT_OK;
}

int tokenFailure(const kora_token_parser_exception& error, zt_token_error* out) noexcept {
  const char* message = error.what();
  setLastError(message);
  if (out != nullptr) {
    out->code = error.code;
    out->position = error.position;
    copyCut(message, out->message, sizeof out->message);
  }
  return ZT_ETOKEN;
}

int currentFailure(zt_token_error* error) noexcept {
  try {
    throw;
  } catch (const kora_token_parser_exception& e) {
    return tokenFailure(e, error);
  } catch (const Refusal& refusal) {
    setLastError(refusal.text, refusal.detail);
    return refusal.status;
  } catch (const std::bad_alloc&) {
    setLastError("out of memory");
    return ZT_ENOMEM;
  } catch (const std::system_error& e) {
    setLastError(e.what());
    const bool errnoCode = e.code().category() == std::generic_category() ||
                           e.code().category() == std::system_category();
    return errnoCode && e.code().value() > 0 ? -e.code().value() : ZT_E_UNEXPECTED;
  } catch (const std::exception& e) {
    setLastError(e.what());
    return ZT_E_UNEXPECTED;
  } catch (...) {
    setLastError("an exception of unknown type");
    return ZT_E_UNEXPECTED;
  }
}

}  // namespace zt::capi

extern "C" {

const char* zt_version(void) {
  return ZT_VERSION;
}

const char* zt_last_error_message(void) {
  return zt::capi::lastErrorText;
}

void zt_free(void* text) {
  std::free(text);  // NOLINT(cppcoreguidelines-no-malloc): the blocks come from malloc
}

}  // extern "C"
