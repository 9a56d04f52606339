// demo: a short tour of every tool, running the command's own subcommands on samples written
// to a temporary folder that is removed afterwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "io.h"

namespace zt::cli {

namespace {

constexpr std::string_view kProcessedTokens = R"(<processedtokens>
  <messages>
    <message index="1" length="3"><![CDATA[Lot]]></message>
  </messages>
  <tokens>
    <message><![CDATA[Lot]]></message>
    <blank/>
    <counter modifier="5" delimiter="0"/>
    <blank/>
    <date modifier="1" delimiter="/"/>
  </tokens>
</processedtokens>
)";

constexpr std::string_view kTemplate = R"(<template>
  <messages>
    <message>HELLO</message>
    <message>WORLD</message>
  </messages>
  <tokens>
    <date/>
    <message>HELLO</message>
    <blank/>
    <message>WORLD</message>
    <counter/>
  </tokens>
</template>
)";

constexpr std::string_view kTagStore = R"(<vexkoratagstore>
  <tags>
    <tag name="Color"><id>0x1</id><tagvalues>
      <tagvalue name="Red"><value>0</value></tagvalue>
      <tagvalue name="Blue"><value>1</value></tagvalue>
    </tagvalues></tag>
    <tag name="Size"><id>2</id><tagvalues>
      <tagvalue name="A4"><value>10</value></tagvalue>
    </tagvalues></tag>
  </tags>
</vexkoratagstore>
)";

constexpr std::string_view kSettings =
    "<settings version=\"2\">\n  <scan dpi=\"300\">front</scan>\n  <scan>back &amp; side</scan>\n"
    "</settings>\n";

constexpr std::string_view kDefaultPreset =
    "[Preset]\nPreset Driver=Front\ndpi=300\nmode=color\nduplex=on\n";
constexpr std::string_view kUserPreset =
    "; user settings\n[Preset]\nPreset Driver=Back\ndpi=200\n\n[Window]\nx=10\n";

struct Step {
  std::string heading;  // printed before the step when not empty
  std::vector<std::string> words;
  int expected;
};

void writeLog(const std::string& path, std::size_t size, std::time_t when) {
  writeFile(path, std::string(size, 'x'));
  const timespec times[2] = {{when, 0}, {when, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// A log folder with files of today, of forty days ago and of the year 2000, one in a subfolder,
// and a file that is not a log.
void writeLogFolder() {
  std::filesystem::create_directories("logs/archive");
  const std::time_t now = std::time(nullptr);
  writeLog("logs/scan-today.log", 2048, now);
  writeLog("logs/scan-last-month.log", 4096, now - 40L * 86400);
  writeLog("logs/archive/scan-2000.LOG", 1024, 946684800);
  writeLog("logs/notes.txt", 10, 946684800);
}

std::vector<Step> tour() {
  const std::string format = "Lot %05S %1/Y %T";
  const std::string now = "2024-05-01T12:30:00";
  return {
      {"Token parser: a format string checked, as its document, and printed",
       {"token", "check", format},
       kSuccess},
      {"", {"token", "xml", "Lot %05S"}, kSuccess},
      {"", {"token", "format", "--now", now, "--counter", "42", format}, kSuccess},
      {"A rejected format string: the caret stands under the counter flag 2",
       {"token", "check", "Lot %25S"},
       kRejected},
      {"Documents read back", {"token", "string", "tokens.xml"}, kSuccess},
      {"", {"token", "template", "template.xml"}, kSuccess},
      {"Extended token parser: image-address fields, and a formatter that refuses levels",
       {"tokenex", "format", "--now", now, "Scan %A %1/Y"},
       kSuccess},
      {"", {"tokenex", "format", "--refuse", "L", "Scan %A %2L"}, kRejected},
      {"", {"tokenex", "xml", "--refuse", "L", "%A %2L"}, kSuccess},
      {"Tag store", {"tags", "tags.xml"}, kSuccess},
      {"", {"tags", "tags.xml", "--name", "Color", "--value", "Blue"}, kSuccess},
      {"Presets: what differs, and what the user's preset lacks",
       {"preset", "diff", "default.ini", "user.ini"},
       kSuccess},
      {"", {"preset", "fill", "--from", "default.ini", "--into", "user.ini"}, kSuccess},
      {"XML objects: the events a handler receives, and an XPath query",
       {"xml", "events", "settings.xml"},
       kSuccess},
      {"", {"xml", "xpath", "template.xml", "//tokens/message/text()"}, kSuccess},
      {"Log manager: a retention plan, then the deletion it selects",
       {"log", "plan", "logs", "--policy", "month"},
       kSuccess},
      {"", {"log", "clean", "logs", "--policy", "month", "--yes"}, kSuccess},
  };
}

class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& path) : home_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~WorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(home_, ignored);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  std::filesystem::path home_;
};

std::string commandLine(const std::vector<std::string>& words) {
  std::string line = "$ zttools";
  for (const std::string& word : words) {
    line += " " + shellQuoted(word);
  }
  return line;
}

int demo(const Args& args, Io& io) {
  args.expectPositionals(0, 0, "");
  const TempDir folder("zttools-demo");
  // The tour runs inside the folder so that its command lines and reports show short paths.
  const WorkingFolder inside(folder.path());
  writeFile("tokens.xml", kProcessedTokens);
  writeFile("template.xml", kTemplate);
  writeFile("tags.xml", kTagStore);
  writeFile("settings.xml", kSettings);
  writeFile("default.ini", kDefaultPreset);
  writeFile("user.ini", kUserPreset);
  writeLogFolder();

  io.out << "A tour of the zttools commands, run in " << folder.path()
         << " (removed afterwards).\n";
  // Every step writes its results and its diagnostics in order into one stream.
  std::istringstream noInput;
  Io tourIo{io.out, io.out, noInput, false};
  int unexpected = 0;
  const std::vector<Step> steps = tour();
  for (const Step& step : steps) {
    if (!step.heading.empty()) {
      io.out << "\n== " << step.heading << '\n';
    }
    io.out << commandLine(step.words) << '\n';
    const int status = runCommandLine(step.words, tourIo);
    if (status != kSuccess) {
      io.out << "(exit status " << status << ")\n";
    }
    unexpected += status == step.expected ? 0 : 1;
  }
  if (unexpected != 0) {
    io.err << "zttools demo: " << unexpected << " of " << steps.size()
           << " commands ended with an unexpected exit status\n";
    return kRejected;
  }
  io.out << "\nAll " << steps.size() << " commands ended as expected. Try 'zttools --help'.\n";
  return kSuccess;
}

}  // namespace

std::vector<Command> demoCommands() {
  return {
      {"demo",
       "",
       "",
       "a short tour of every tool on built-in samples",
       "Writes sample documents, a tag store, two presets and a log folder into a temporary\n"
       "folder, runs the other commands on them, prints each command line with its output,\n"
       "and removes the folder. Exit status 1 if any command ends unexpectedly.",
       {},
       demo},
  };
}

}  // namespace zt::cli
