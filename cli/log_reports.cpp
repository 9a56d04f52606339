#include "log_reports.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <memory>
#include <optional>
#include <string>

namespace zt::cli {

namespace {

// A cursor over report text that consumes expected pieces.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool take(std::string_view piece) {
    if (!text_.starts_with(piece)) {
      return false;
    }
    text_.remove_prefix(piece.size());
    return true;
  }
  template <typename Number>
  std::optional<Number> number() {
    Number value{};
    const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
    if (error != std::errc()) {
      return std::nullopt;
    }
    text_.remove_prefix(static_cast<std::size_t>(end - text_.data()));
    return value;
  }
  // Takes everything up to `stop` (not included).
  std::optional<std::string_view> until(std::string_view stop) {
    const std::size_t at = text_.find(stop);
    if (at == std::string_view::npos) {
      return std::nullopt;
    }
    const std::string_view piece = text_.substr(0, at);
    text_.remove_prefix(at);
    return piece;
  }
  [[nodiscard]] std::string_view rest() const { return text_; }
  void skip(std::size_t count) { text_.remove_prefix(count); }

 private:
  std::string_view text_;
};

constexpr std::string_view kEntry = "      <logfile id=\"";

// The attributes after a file's name, up to the next entry or the section's end, as the report
// writes them; nothing when `at` is not such a tail.
std::optional<LogFile> tailAt(Cursor& at, std::string_view section) {
  LogFile file;
  std::optional<uint64_t> size;
  std::optional<int64_t> time;
  if (!at.take("\" size=\"") || !(size = at.number<uint64_t>()) || !at.take("\" time_t=\"") ||
      !(time = at.number<int64_t>()) || !at.take("\" timestamp=\"") || !at.until("\" />\n") ||
      !at.take("\" />\n")) {
    return std::nullopt;
  }
  const std::string end = "        </" + std::string(section) + ">\n";
  if (!at.rest().starts_with(kEntry) && !at.rest().starts_with(end)) {
    return std::nullopt;
  }
  file.size = *size;
  file.time = *time;
  return file;
}

bool exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// The entries of one section. A name ends at a `" size="` followed by a well-formed tail; of
// several such ends the first whose name is an existing file is taken, else the first.
std::vector<LogFile> readSection(Cursor& at, std::string_view section) {
  std::vector<LogFile> files;
  at.take("        <" + std::string(section) + ">\n");
  while (at.take(kEntry) && at.number<int64_t>() && at.take("\" name=\"")) {
    const std::string_view rest = at.rest();
    std::optional<LogFile> chosen;
    Cursor after = at;
    for (std::size_t end = rest.find("\" size=\""); end != std::string_view::npos;
         end = rest.find("\" size=\"", end + 1)) {
      Cursor tail(rest.substr(end));
      std::optional<LogFile> file = tailAt(tail, section);
      if (!file) {
        continue;
      }
      file->path = std::string(rest.substr(0, end));
      const bool real = exists(file->path);
      if (!chosen || real) {
        chosen = std::move(file);
        after = tail;
      }
      if (real) {
        break;
      }
    }
    if (!chosen) {
      break;
    }
    files.push_back(std::move(*chosen));
    at = after;
  }
  at.take("        </" + std::string(section) + ">\n");
  return files;
}

}  // namespace

PolicyReport readPolicyReport(std::string_view report, std::string_view folder) {
  PolicyReport result;
  const std::string header = "\" path=\"" + std::string(folder) + "\">\n";
  const std::size_t at = report.find(header);
  if (at == std::string_view::npos) {
    return result;
  }
  Cursor cursor(report.substr(at + header.size()));
  result.keep = readSection(cursor, "keep");
  result.remove = readSection(cursor, "delete");
  return result;
}

std::vector<Deletion> readDeleteReport(std::string_view report,
                                       const std::vector<std::string>& paths) {
  std::vector<Deletion> results;
  std::size_t from = 0;
  for (const std::string& path : paths) {
    const std::string start = "     <file name=\"" + path + "\" >\n       <code>";
    const std::size_t at = report.find(start, from);
    if (at == std::string_view::npos) {
      break;
    }
    Cursor cursor(report.substr(at + start.size()));
    Deletion deletion{path, 0, {}};
    const std::optional<uint32_t> code = cursor.number<uint32_t>();
    std::optional<std::string_view> message;
    if (!code || !cursor.take("</code>\n       <message><![CDATA[") ||
        !(message = cursor.until("]]></message>\n"))) {
      break;
    }
    deletion.code = *code;
    deletion.message = std::string(*message);
    results.push_back(std::move(deletion));
    from = report.size() - cursor.rest().size();
  }
  return results;
}

std::vector<Unreadable> unreadableFolders(const std::string& root) {
  std::vector<Unreadable> problems;
  std::vector<std::string> pending{root};
  // Depth first with an explicit stack, so that a deep tree costs memory, not call depth.
  while (!pending.empty()) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(folder.c_str()), closedir);
    if (!listing) {
      problems.push_back({folder, errno});
      continue;
    }
    while (const dirent* item = readdir(listing.get())) {
      const std::string_view name = item->d_name;
      if (name.front() == '.') {  // ".", ".." and the folders the manager leaves out
        continue;
      }
      const std::string path = folder + "/" + std::string(name);
      struct stat info {};
      const bool folderItem =
          item->d_type == DT_DIR ||
          (item->d_type == DT_UNKNOWN && lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
      if (folderItem) {
        pending.push_back(path);
      }
    }
  }
  return problems;
}

}  // namespace zt::cli
