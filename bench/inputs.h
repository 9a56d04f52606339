// Generated inputs of the benchmarks. Every input is made from a fixed recipe, so two runs and
// both sides of a pair always see the same bytes; nothing generated is kept in the repository.
#ifndef ZT_BENCH_INPUTS_H
#define ZT_BENCH_INPUTS_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zt::bench {

// Plain ASCII text, or "mixed" text: about a third of the characters outside ASCII (accents,
// Greek, CJK, four-byte emoji).
enum class Text { kAscii, kMixed };

// A catalogue document of about `bytes` bytes: records with attributes (one holding an entity
// reference), text elements and CDATA sections, handed out in pieces of a few kilobytes so that
// a large file can be written without holding it.
void catalogue(std::size_t bytes, const std::function<void(std::string_view)>& sink,
               Text text = Text::kAscii);
std::string catalogue(std::size_t bytes, Text text = Text::kAscii);

// An INI file whose "Preset" section holds about `bytes` bytes of settings.
std::string presetFile(std::size_t bytes);

// A tag store of `tags` tags with three named values each.
std::string tagStore(int tags, Text text = Text::kAscii);

// `count` different valid format strings: counters, dates, times, new lines and text.
std::vector<std::string> tokenFormats(int count);

// A document of about 100 KB whose internal subset declares entities that expand to 100 MB.
std::string entityExpansionDocument();

// A folder tree under `root` of `files` files spread over folders of 1000, most of them `.log`
// files (some spelt `.LOG`) with sizes and modification times spread over two months. Does
// nothing when `root` already holds a finished tree, so that the tree is made once.
void logTree(const std::string& root, int files);

// Writes `text` to `path`, replacing the file; throws on failure.
void writeFile(const std::string& path, std::string_view text);

// The folder of generated files: $ZT_BENCH_DATA, else "bench-data" in the working folder.
std::string dataFolder();

}  // namespace zt::bench

#endif  // ZT_BENCH_INPUTS_H
