#include "inputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <system_error>

namespace zt::bench {

namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    fail("mkdir " + path);
  }
}

}  // namespace

namespace {

// The words of a catalogue record around its numbers.
struct RecordWords {
  std::string_view types[4];
  std::string_view note;  // the type's closing quote to the name's first words
  std::string_view name;  // the end of the name to the text's first words
  std::string_view text;  // the rest of the text, to the start of the CDATA section
  std::string_view data;
};

constexpr RecordWords kAsciiWords = {{"a", "b", "c", "d"},
                                     "\" note=\"left &amp; right\">\n    <name>Item ",
                                     "</name>\n    <text>Scanned page of batch ",
                                     ", quality checked, imprinted and stored without "
                                     "loss.</text>\n    <data><![CDATA[raw <bytes> & ",
                                     "]]></data>\n  </record>\n"};

// The same shape with about a third of the text's characters outside ASCII: Latin accents,
// Greek, CJK and emoji (four bytes each), in attributes, text and CDATA, with entity and
// character references among them.
constexpr RecordWords kMixedWords = {
    {"été", "βήτα", "漢字", "📄"},
    "\" note=\"gauche &amp; droite · α&#946;γ\">\n    <name>Artículo ",
    " — Ἀθῆναι</name>\n    <text>Página del lote ",
    ": 東京の書類, ελέγχθηκε &lt;ok&gt; 📄📎 ✓ crème brûlée — 東京 ✓</text>\n    <data><![CDATA[raw "
    "<bytes> & é漢📎 ",
    "]]></data>\n  </record>\n"};

void record(std::string& piece, unsigned n, const RecordWords& words) {
  piece += "  <record id=\"";
  piece += std::to_string(n);
  piece += "\" type=\"";
  piece += words.types[n % 4];
  piece += words.note;
  piece += std::to_string(n);
  piece += words.name;
  piece += std::to_string(n / 100);
  piece += words.text;
  piece += std::to_string(n * 7919u);
  piece += words.data;
}

}  // namespace

void catalogue(std::size_t bytes, const std::function<void(std::string_view)>& sink, Text text) {
  std::string piece = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalogue>\n";
  std::size_t written = 0;
  for (unsigned n = 0; written + piece.size() < bytes; ++n) {
    record(piece, n, text == Text::kMixed ? kMixedWords : kAsciiWords);
    if (piece.size() > 8192) {
      written += piece.size();
      sink(piece);
      piece.clear();
    }
  }
  piece += "</catalogue>\n";
  sink(piece);
}

std::string catalogue(std::size_t bytes, Text text) {
  std::string document;
  document.reserve(bytes + 16384);
  catalogue(
      bytes, [&](std::string_view piece) { document += piece; }, text);
  return document;
}

std::string presetFile(std::size_t bytes) {
  std::string text = "[Other]\r\nName=unchanged\r\n\r\n[Preset]\r\nPreset Driver=bench\r\n";
  const std::size_t start = text.size();
  for (unsigned n = 0; text.size() - start < bytes; ++n) {
    char line[96];
    std::snprintf(line, sizeof line, "Setting%07u=value %u of the scanner preset\r\n", n, n * 31u);
    text += line;
  }
  text += "\r\n[After]\r\nKey=kept\r\n";
  return text;
}

std::string tagStore(int tags, Text text) {
  std::string store = "<?xml version=\"1.0\"?>\n<vexkoratagstore>\n <tags>\n";
  static constexpr std::string_view kValues[] = {"Off", "On", "Auto"};
  static constexpr std::string_view kMixedValues[] = {"Aus — désactivé", "Ανοιχτό", "自動 🔄"};
  const bool mixed = text == Text::kMixed;
  for (int n = 0; n < tags; ++n) {
    const std::string id = std::to_string(n);
    store += mixed ? "  <tag name=\"Étiquette ετι標 " + id + "\">\n"
                   : "  <tag name=\"Tag" + id + "\">\n";
    store += "   <id>" + id + "</id>\n   <tagvalues>\n";
    for (int v = 0; v < 3; ++v) {
      store += "    <tagvalue name=\"";
      store += (mixed ? kMixedValues : kValues)[v];
      store += "\"><value>" + std::to_string(v) + "</value></tagvalue>\n";
    }
    store += "   </tagvalues>\n  </tag>\n";
  }
  store += " </tags>\n</vexkoratagstore>\n";
  return store;
}

std::vector<std::string> tokenFormats(int count) {
  static constexpr std::string_view kSeparators[] = {"/", "-", ".", "_"};
  static constexpr std::string_view kWords[] = {"Lot ", "Batch ", "Page ", "", "Box "};
  std::vector<std::string> formats;
  formats.reserve(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n) {
    std::string format(kWords[n % 5]);
    format += "%0" + std::to_string(1 + n % 9) + "S ";
    format += "%" + std::to_string(1 + (n / 9) % 9) + std::string(kSeparators[n % 4]) + "Y";
    if (n % 3 != 0) {
      format += " %" + std::to_string(1 + (n / 3) % 9) + "T";
    }
    if (n % 2 == 0) {
      format += "%N";
    }
    format += n % 5 == 1 ? " page %S of " + std::to_string(n) : " #" + std::to_string(n);
    formats.push_back(std::move(format));
  }
  return formats;
}

std::string entityExpansionDocument() {
  // One entity of 90 KB text, one referring to it 1 111 times, the document to that once:
  // about 100 MB once expanded.
  std::string document = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY a \"";
  document.append(std::size_t{90} * 1000, 'x');
  document += "\">\n<!ENTITY b \"";
  for (int i = 0; i < 1111; ++i) {
    document += "&a;";
  }
  document += "\">\n]>\n<bomb>&b;</bomb>\n";
  return document;
}

void logTree(const std::string& root, int files) {
  const std::string done = root + "/.complete";
  if (::access(done.c_str(), F_OK) == 0) {
    return;
  }
  makeFolder(root);
  constexpr int kPerFolder = 1000;
  const std::time_t now = std::time(nullptr);
  std::string block(4096, 'x');
  for (int n = 0; n < files; ++n) {
    const std::string folder = root + "/scanner" + std::to_string(n / kPerFolder);
    if (n % kPerFolder == 0) {
      makeFolder(folder);
    }
    const char* extension = n % 10 == 9 ? ".txt" : n % 10 == 8 ? ".LOG" : ".log";
    const std::string path = folder + "/batch" + std::to_string(n) + extension;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      fail("open " + path);
    }
    // Most files stay empty, which keeps the tree quick to make; some carry a few kilobytes.
    const std::size_t size = n % 50 == 0 ? static_cast<std::size_t>(n % 4096) : 0;
    if (size > 0 && ::write(fd, block.data(), size) != static_cast<ssize_t>(size)) {
      fail("write " + path);
    }
    const timespec times[2] = {{now, 0}, {now - std::time_t{n % 60} * 86400 - n % 86400, 0}};
    ::futimens(fd, times);
    ::close(fd);
  }
  writeFile(done, "");
}

void writeFile(const std::string& path, std::string_view text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    fail("fopen " + path);
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !ok) {
    fail("write " + path);
  }
}

std::string dataFolder() {
  const char* folder = std::getenv("ZT_BENCH_DATA");
  std::string path = folder != nullptr && *folder != '\0' ? folder : "bench-data";
  makeFolder(path);
  return path;
}

}  // namespace zt::bench
