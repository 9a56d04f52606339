// The zttools command run as a user runs it: a child process with its arguments and standard
// input, whose exit status, standard output and standard error are checked. Only what the command
// adds is pinned here (options, exit statuses, output shape, diagnostics); the library's
// behaviour is the library suites' to pin, with one case per tool to show it is wired.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

struct Invocation {
  std::vector<std::string> words = {};
  std::string input = {};       // written to a file that becomes standard input
  std::string inputPath = {};   // or this file as standard input
  std::string outputPath = {};  // standard output goes here instead of being collected
  std::string program = {};     // instead of $ZT_CLI
  std::string libraryPath = {};
  bool unprivileged = false;  // a root test process runs the command as nobody
};

std::string readFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string cli() {
  const char* program = std::getenv("ZT_CLI");
  return program != nullptr ? program : "";
}

// Runs the command and collects its exit status and streams. Status 125 means the child could
// not drop privileges, 126 that it could not execute the command.
Outcome zttools(const Invocation& run) {
  const std::string program = run.program.empty() ? cli() : run.program;
  if (program.empty()) {
    ADD_FAILURE() << "ZT_CLI does not name the zttools command";
    return {};
  }
  const ScratchDir streams;
  const std::string files[] = {
      run.inputPath.empty() ? streams.write("in", run.input) : run.inputPath,
      run.outputPath.empty() ? streams.write("out", "") : run.outputPath, streams.write("err", "")};
  const pid_t child = fork();
  if (child == 0) {
    for (int fd = 0; fd < 3; ++fd) dup2(open(files[fd].c_str(), fd == 0 ? O_RDONLY : O_WRONLY), fd);
    if (run.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
      _exit(125);
    if (!run.libraryPath.empty()) setenv("LD_LIBRARY_PATH", run.libraryPath.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& word : run.words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(126);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          run.outputPath.empty() ? readFile(files[1]) : "", readFile(files[2])};
}

Outcome zttools(const std::vector<std::string>& words, const std::string& input = "") {
  return zttools({.words = words, .input = input});
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += word + " ";
  return text;
}

TEST(Cli, UsageErrorsAndSuccessesUseTheirStreams) {
  const ScratchDir empty;
  const std::string folder = empty.path().string();
  struct Case {
    std::vector<std::string> words;
    int status;
    std::string inOut;  // expected in standard output ("" for nothing in particular)
    std::string inErr;  // expected in standard error
  };
  const Case cases[] = {
      {{}, 2, "", "missing command"},
      {{"scan"}, 2, "", "unknown command 'scan'"},
      {{"token"}, 2, "", "Try 'zttools token --help'"},
      {{"token", "scan", "%Y"}, 2, "", "unknown subcommand 'token scan'"},
      {{"token", "check"}, 2, "", "missing FORMAT"},
      {{"token", "check", "--width", "%Y"}, 2, "", "unknown option '--width'"},
      {{"token", "format", "--now"}, 2, "", "'--now' needs a value"},
      {{"token", "format", "--now", "2024-02-30T00:00:00", "%Y"}, 2, "", "YYYY-MM-DDTHH:MM:SS"},
      {{"token", "format", "--counter", "-1", "%S"}, 2, "", "whole number"},
      {{"tokenex", "check", "--refuse", "Q", "%Y"}, 2, "", "kind letters"},
      {{"log", "plan", folder, "--policy", "threshold"}, 2, "", "needs --megabytes"},
      {{"log", "plan", folder, "--policy", "all", "--megabytes", "3"}, 2, "", "belong to"},
      // --megabytes at its documented maximum, and one above.
      {{"log", "plan", folder, "--policy", "threshold", "--megabytes", "2047"}, 0, "<keep>", ""},
      {{"log", "plan", folder, "--policy", "threshold", "--megabytes", "2048"}, 2, "", "0 to 2047"},
      {{"preset", "fill", "--from", "a.ini", "--into", "-"}, 2, "", "not standard input"},
      {{"preset", "diff", "-", "-"}, 2, "", "only one of A and B"},
      {{"preset", "fill", "--from", "a.ini"}, 2, "", "needs --from A and --into B"},
      {{"token", "check", "--", "-x %Y"}, 0, "valid: 3 tokens", ""},
      {{"--help"}, 0, "log clean", ""},
      {{"-h"}, 0, "log clean", ""},
      {{"log", "-h"}, 0, "plan", ""},
      {{"--version"}, 0, "libzttools 1.0.12001.24001", ""},
  };
  for (const Case& c : cases) {
    const Outcome run = zttools(c.words);
    const std::string name = joined(c.words);
    EXPECT_EQ(run.status, c.status) << name << run.err;
    EXPECT_NE(run.out.find(c.inOut), std::string::npos) << name << run.out;
    EXPECT_NE(run.err.find(c.inErr), std::string::npos) << name << run.err;
    // Results go to standard output only on success, diagnostics to standard error only on
    // failure.
    EXPECT_EQ(c.status == 0 ? run.err : run.out, "") << name;
  }
}

// Every failure at run time is status 1 with one line naming the input and the system's (or
// the reader's) reason; no status numbers.
TEST(Cli, EveryFailureNamesItsReason) {
  const ScratchDir dir;
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir.path().string();
  const std::string missing = folder + "/missing.xml";
  const std::string broken = dir.write("b.xml", "<a>\n<b>&bogus;</b></a>");
  const std::string plain = dir.write("plain.xml", "<a/>");
  struct Case {
    std::vector<std::string> words;
    std::string reason;
    std::string input = "/dev/null";
    std::string output = "";
  };
  const Case cases[] = {
      {{"token", "string", missing}, missing + ": No such file or directory"},
      {{"tags", folder}, folder + ": Is a directory"},
      {{"xml", "events", "/dev/zero"}, "/dev/zero: not a regular file"},
      {{"xml", "xpath", fifo, "/a"}, fifo + ": not a regular file"},
      {{"xml", "events", "-"}, "<stdin>: not a regular file", "/dev/zero"},
      {{"preset", "show", missing}, missing + ": No such file or directory"},
      {{"log", "plan", missing, "--policy", "all"}, missing + ": No such file"},
      {{"log", "plan", plain, "--policy", "all"}, plain + ": Not a directory"},
      {{"xml", "events", broken}, broken + ":2:11: Entity 'bogus' not defined"},
      {{"tags", plain}, plain + ": not a tag store"},
      {{"token", "xml", "Lot %Y"}, "write error: No space left on device", "", "/dev/full"},
      {{"--help"}, "write error: No space left on device", "", "/dev/full"},
  };
  for (const Case& c : cases) {
    const Outcome run = zttools({.words = c.words, .inputPath = c.input, .outputPath = c.output});
    const std::string name = joined(c.words);
    EXPECT_EQ(run.status, 1) << name << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << name << run.err;
    EXPECT_EQ(run.err.find("0x"), std::string::npos) << name << run.err;
  }
}

// The same bytes give the same output whether they come from a file or from standard input.
TEST(Cli, EveryFileReadingSubcommandAcceptsStandardInput) {
  const ScratchDir dir;
  const std::string tokens = zttools({"token", "xml", "Lot %05S"}).out;
  const std::string store =
      "<vexkoratagstore><tags><tag name=\"Color\"><id>1</id><tagvalues><tagvalue name=\"Red\">"
      "<value>0</value></tagvalue></tagvalues></tag></tags></vexkoratagstore>";
  const std::string preset = "[Preset]\ndpi=300\nmode=color\n";
  const std::string other = dir.write("other.ini", "[Preset]\ndpi=200\n");
  struct Case {
    std::vector<std::string> words;  // "FILE" stands for the file or "-"
    std::string content;
  };
  const Case cases[] = {
      {{"token", "string", "FILE"}, tokens},
      {{"token", "template", "FILE"}, tokens},
      {{"tokenex", "string", "FILE"}, tokens},
      {{"tokenex", "template", "FILE"}, tokens},
      {{"xml", "events", "FILE"}, tokens},
      {{"xml", "xpath", "FILE", "//counter"}, tokens},
      {{"tags", "FILE"}, store},
      {{"preset", "show", "FILE"}, preset},
      {{"preset", "diff", "FILE", other}, preset},
      {{"preset", "fill", "--from", "FILE", "--into", other}, preset},
  };
  for (const Case& c : cases) {
    std::vector<std::string> byPath = c.words;
    std::vector<std::string> byInput = c.words;
    for (std::size_t i = 0; i < c.words.size(); ++i) {
      if (c.words[i] == "FILE") {
        byPath[i] = dir.write("input", c.content);
        byInput[i] = "-";
      }
    }
    const Outcome fromFile = zttools(byPath);
    const Outcome fromInput = zttools(byInput, c.content);
    EXPECT_EQ(fromFile.status, 0) << joined(byPath) << fromFile.err;
    EXPECT_NE(fromFile.out, "") << joined(byPath);
    EXPECT_EQ(fromInput.status, fromFile.status) << joined(byInput) << fromInput.err;
    EXPECT_EQ(fromInput.out, fromFile.out) << joined(byInput);
  }
}

// The commands the overview lists, as their words: "token check", "tags".
std::vector<std::string> listedCommands() {
  std::vector<std::string> commands;
  for (const std::string& line : lines(zttools({"--help"}).out)) {
    if (line.rfind("  ", 0) != 0) continue;
    std::istringstream words(line);
    std::string group, sub;
    words >> group >> sub;
    // One-word commands (tags, demo) are followed by their summary.
    commands.push_back(group == "tags" || group == "demo" ? group : group + " " + sub);
  }
  return commands;
}

std::vector<std::string> split(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Every listed command answers -h and --help with its usage line, and the manual page and the
// bash completion name it and every option its usage line names.
TEST(Cli, HelpManualAndCompletionCoverEveryCommandAndOption) {
  const fs::path folder = fs::path(cli()).parent_path();
  const std::string manual = readFile((folder / "zttools.1").string());
  const std::string completion = readFile((folder / "zttools.bash").string());
  ASSERT_NE(manual, "");
  ASSERT_NE(completion, "");
  const std::vector<std::string> commands = listedCommands();
  EXPECT_EQ(commands.size(), 19u);
  for (const std::string& command : commands) {
    std::vector<std::string> words = split(command);
    words.push_back("-h");
    const Outcome shortHelp = zttools(words);
    words.back() = "--help";
    const Outcome help = zttools(words);
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind("usage: zttools " + command, 0), 0u) << help.out;
    EXPECT_EQ(shortHelp.out, help.out) << command;
    EXPECT_NE(manual.find(".SS \"zttools " + command + "\""), std::string::npos) << command;
    for (const std::string& word : split(command)) {
      EXPECT_NE(completion.find(word), std::string::npos) << command;
    }
    const std::string usage = lines(help.out).at(0);
    for (std::size_t at = usage.find("--"); at != std::string::npos;
         at = usage.find("--", at + 2)) {
      const std::string option = usage.substr(at, usage.find_first_of(" ]|=", at) - at);
      std::string escaped;  // roff writes a hyphen as \-
      for (char c : option) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_NE(manual.find(escaped), std::string::npos) << command << " " << option;
      EXPECT_NE(completion.find(option + " "), std::string::npos) << command << " " << option;
    }
  }
}

TEST(Cli, DiagnosticsShowAShortEscapedWindowWithTheCaretInPlace) {
  struct Case {
    std::vector<std::string> words;
    std::string line;
    std::string caret;
  };
  const std::string longText(200, 'a');
  const Case cases[] = {
      {{"token", "check", "Lot %25S"}, "Lot %25S", "     ^"},
      // The caret counts columns, the position bytes: é is two bytes, 漢 two columns.
      {{"token", "format", "\xc3\xa9\xe6\xbc\xa2%1,Y"}, "\xc3\xa9\xe6\xbc\xa2%1,Y", "     ^"},
      // Control characters are shown escaped, and the caret stays under the character.
      {{"token", "check", "\x1b[2J %Q"}, "\\x1b[2J %Q", "         ^"},
      // A long line is cut to a window around the caret.
      {{"token", "check", longText + "%Q" + longText},
       "..." + std::string(36, 'a') + "%Q" + std::string(36, 'a') + "...",
       std::string(40, ' ') + "^"},
      {{"tokenex", "format", "--refuse", "L", "Scan %A %2L"}, "Scan %A %2L", "          ^"},
  };
  for (const Case& c : cases) {
    const Outcome run = zttools(c.words);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> err = lines(run.err);
    ASSERT_EQ(err.size(), 3u) << run.err;
    EXPECT_EQ(err[0], c.line);
    EXPECT_EQ(err[1], c.caret);
    EXPECT_LE(err[0].size(), 80u);
  }
  // A document's error: the reader's line and column, the caret under that column after wide
  // characters.
  const Outcome broken =
      zttools({"token", "string", "-"}, "<processedtokens>\n<\xe6\xbc\xa2 x=1/>\n");
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(lines(broken.err), (std::vector<std::string>{"<stdin>:2:6: AttValue: \" or ' expected",
                                                         "<\xe6\xbc\xa2 x=1/>", "      ^"}));
}

TEST(Cli, CheckListsTheTokensAFormatterReceives) {
  // The listing's shape is what docs/CLI.md shows; JSON and the refused kinds are checked here.
  const Outcome json = zttools({"tokenex", "check", "--json", "%2L"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"kind\": \"level\""), std::string::npos) << json.out;
  // The extended document leaves out what the reference formatter refuses.
  const Outcome refused = zttools({"tokenex", "xml", "--refuse", "A", "%A %Y"});
  EXPECT_EQ(refused.out.find("iafielda"), std::string::npos);
  EXPECT_NE(refused.out.find("<date/>"), std::string::npos);
  const Outcome rejected = zttools({"token", "check", "--json", "Lot %Q"});
  EXPECT_EQ(rejected.status, 1);
  EXPECT_EQ(rejected.err, "");
  EXPECT_NE(rejected.out.find("\"position\": 5"), std::string::npos) << rejected.out;
}

TEST(Cli, ReferenceFormatterRules) {
  struct Case {
    std::string group;
    std::string format;
    std::string text;
  };
  const Case cases[] = {
      {"token", "%Y", "20240501"},
      {"token", "%1/Y|%2.Y|%3-Y", "2024/05/01|01.05.2024|05-01-2024"},
      {"token", "%4_Y|%5/Y|%6/Y", "24 05 01|01/05/24|05/01/24"},
      {"token", "%7-Y|%8-Y|%9Y", "2024-122|24-122|122"},
      {"token", "%T|%2T|%3T|%4T", "13:05:09|13:05|130509|1305"},
      {"token", "%5T|%6T|%7T|%8T|%9T", "01:05:09 PM|01:05 PM|13|05:09|47109"},
      {"token", "%5S|%05S|%15S|%1S|#|%0S", "00042|00042|   42|2|42|42"},
      {"token", "50%% off%N##", "50% off\n#"},
      {"tokenex", "%A %F %L %3L", "{A} {F} L1 L3"},
  };
  for (const Case& c : cases) {
    const Outcome run =
        zttools({c.group, "format", "--now", "2024-05-01T13:05:09", "--counter", "42", c.format});
    EXPECT_EQ(run.status, 0) << c.format << run.err;
    EXPECT_EQ(run.out, c.text + "\n") << c.format;
  }
}

class CliFiles : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string path(const std::string& name) const { return (dir.path() / name).string(); }
  void writeLog(const std::string& name, std::time_t when, std::size_t size = 100) {
    const std::string file = dir.write(name, std::string(size, 'x'));
    const timespec times[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, file.c_str(), times, 0);
  }
  // The file names a report lists, in its order.
  static std::vector<std::string> names(const std::string& report, const std::string& section) {
    std::vector<std::string> result;
    const std::size_t begin = report.find("<" + section);
    const std::size_t end = report.find("</" + section + ">");
    for (std::size_t at = report.find("name=\"", begin); at < end;
         at = report.find("name=\"", at + 1)) {
      result.push_back(report.substr(at + 6, report.find('"', at + 6) - at - 6));
    }
    return result;
  }
};

TEST_F(CliFiles, PlanDeletesNothingAndCleanDeletesExactlyThePlan) {
  const std::time_t now = std::time(nullptr);
  writeLog("logs/a.log", now);
  // More files than the progress bar's threshold: without a terminal it draws nothing.
  for (int i = 0; i < 301; ++i) writeLog("logs/old/c" + std::to_string(i) + ".log", 946684800);
  // A trailing slash does not double the separator in reported paths.
  const std::string logs = path("logs");
  const Outcome plan = zttools({"log", "plan", logs + "/", "--policy", "latest"});
  ASSERT_EQ(plan.status, 0) << plan.err;
  const std::vector<std::string> planned = names(plan.out, "delete");
  EXPECT_EQ(planned.size(), 301u);
  EXPECT_EQ(names(plan.out, "keep"), std::vector<std::string>{logs + "/a.log"});
  for (const std::string& file : planned) EXPECT_TRUE(fs::exists(file)) << file;

  const Outcome clean = zttools({"log", "clean", logs, "--policy", "latest", "--yes"});
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(clean.err, "deleted 301, refused 0, failed 0\n");
  EXPECT_EQ(names(clean.out, "report"), planned);
  for (const std::string& file : planned) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(logs + "/a.log"));
}

TEST_F(CliFiles, CleanAsksPerFile) {
  const char* files[] = {"logs/a.log", "logs/b.log", "logs/c.log",
                         "logs/d.log", "logs/e.log", "logs/f.log"};
  for (const char* name : files) writeLog(name, 946684800);
  // Every form of yes deletes; anything else, and the end of the input, refuses.
  const Outcome run =
      zttools({"log", "clean", path("logs"), "--policy", "all"}, "y\nY\nyes\nYES\nn\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("delete " + path("logs/a.log") + "? [y/N/a/q]"), std::string::npos);
  EXPECT_NE(run.err.find("deleted 4, refused 2, failed 0\n"), std::string::npos) << run.err;
  for (int i = 0; i < 6; ++i) EXPECT_EQ(fs::exists(path(files[i])), i >= 4) << files[i];
}

// Paths in JSON are strings whatever bytes they hold: markup the XML report leaves as it is,
// and bytes that are not UTF-8 as \ufffd.
TEST_F(CliFiles, LogJsonCarriesAnyPath) {
  const std::string odd = "logs/q\" size=\"1\xff.log";
  writeLog(odd, 946684800, 5);
  writeLog("logs/new.log", std::time(nullptr));
  const Outcome plan = zttools({"log", "plan", path("logs"), "--policy", "latest", "--json"});
  EXPECT_EQ(plan.status, 0) << plan.err;
  EXPECT_NE(plan.out.find("\"path\": \"" + path("logs") + "/q\\\" size=\\\"1\\ufffd.log\""),
            std::string::npos)
      << plan.out;
  EXPECT_NE(plan.out.find("\"size\": 5"), std::string::npos) << plan.out;
  const Outcome clean =
      zttools({"log", "clean", path("logs"), "--policy", "latest", "--yes", "--json"});
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_NE(clean.out.find("\"result\": \"deleted\""), std::string::npos) << clean.out;
  EXPECT_NE(clean.out.find("\"deleted\": 1"), std::string::npos) << clean.out;
  EXPECT_FALSE(fs::exists(path(odd)));
}

// An unprivileged run of a copy of the command and library placed where any user can reach
// them, so that the test does not depend on where the checkout lives.
TEST_F(CliFiles, FailedDeletionAndUnreadableFoldersAreReported) {
  // The build puts the library one folder above the command.
  const fs::path library = fs::path(cli()).parent_path().parent_path() / "libzttools.so.1";
  ASSERT_TRUE(fs::exists(library)) << library;
  const std::string bin = path("bin");
  fs::create_directories(bin);
  fs::copy_file(cli(), bin + "/zttools");
  fs::copy_file(library, bin + "/libzttools.so.1");
  writeLog("logs/a.log", 946684800);
  writeLog("logs/locked/b.log", 946684800);
  fs::permissions(dir.path(), fs::perms(0755));
  fs::permissions(path("logs/locked"), fs::perms::none);
  fs::permissions(path("logs"), fs::perms(0555));
  const Outcome run = zttools({.words = {"log", "clean", path("logs"), "--policy", "all", "--yes"},
                               .program = bin + "/zttools",
                               .libraryPath = bin,
                               .unprivileged = true});
  fs::permissions(path("logs"), fs::perms(0755));
  fs::permissions(path("logs/locked"), fs::perms(0755));
  if (run.status == 125) GTEST_SKIP() << "cannot drop privileges here";
  if (run.status == 126) GTEST_SKIP() << "the unprivileged user cannot reach " << bin;
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("<code>13</code>"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("warning: " + path("logs/locked") + ": Permission denied"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("deleted 0, refused 0, failed 1\n"), std::string::npos) << run.err;
}

TEST_F(CliFiles, PresetDiffShowAndFill) {
  const std::string base =
      dir.write("default.ini", "[Preset]\nPreset Driver=F\ndpi=300\nmode=color\n");
  const std::string user = dir.write("user.ini", "[Preset]\r\nPreset Driver=B\r\ndpi=200\r\n");
  EXPECT_EQ(zttools({"preset", "diff", base, user}).out, "dpi: 300 -> 200\n");
  EXPECT_EQ(zttools({"preset", "show", base, "mode"}).out, "color\n");
  EXPECT_EQ(zttools({"preset", "show", base, "absent"}).status, 1);

  const Outcome dry = zttools({"preset", "fill", "--from", base, "--into", user});
  EXPECT_EQ(dry.out, "+ mode=color\n");
  EXPECT_EQ(zttools({"preset", "show", user}).out, "Preset Driver=B\ndpi=200\n");
  const Outcome written = zttools({"preset", "fill", "--from", base, "--into", user, "--write"});
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(zttools({"preset", "show", user}).out, "Preset Driver=B\ndpi=200\nmode=color\n");
}

TEST_F(CliFiles, TagListingAndLookups) {
  const std::string store =
      dir.write("tags.xml",
                "<vexkoratagstore><tags><tag name=\"Color\"><id>0x1</id><tagvalues>"
                "<tagvalue name=\"Red\"><value>0</value></tagvalue>"
                "<tagvalue name=\"Blue\"><value>1</value></tagvalue></tagvalues></tag>"
                "<tag name=\"0x001a\"><id>7</id><tagvalues/></tag></tags></vexkoratagstore>");
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {{}, 0, "1\tColor\n\t0\tRed\n\t1\tBlue\n7\t0x001a\n"},
      {{"--name", "Color"}, 0, "1\n"},
      {{"--id", "0x1"}, 0, "Color\n"},
      {{"--name", "Color", "--value", "Blue"}, 0, "1\n"},
      {{"--id", "1", "--value", "0"}, 0, "Red\n"},
      {{"--id", "1", "--json"}, 0, "{\n  \"id\": 1,\n  \"name\": \"Color\"\n}\n"},
      {{"--id", "26"}, 1, ""},  // the generated name 0x001a belongs to tag 7
      {{"--name", "Size"}, 1, ""},
      {{"--name", "Color", "--value", "Green"}, 1, ""},
      {{"--id", "1", "--value", "5"}, 1, ""},
      {{"--id", "70000"}, 2, ""},
      {{"--value", "0"}, 2, ""},
      {{"--id", "1", "--name", "Color"}, 2, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = {"tags", store};
    words.insert(words.end(), c.options.begin(), c.options.end());
    const Outcome run = zttools(words);
    EXPECT_EQ(run.status, c.status) << joined(words) << run.err;
    EXPECT_EQ(run.out, c.out) << joined(words);
  }
}

TEST_F(CliFiles, XmlEventsAndXPath) {
  const std::string file = dir.write("s.xml", "<s v=\"2\"><scan>  front</scan><e/></s>");
  const Outcome events = zttools({"xml", "events", file});
  EXPECT_EQ(events.status, 0);
  // Text is shown trimmed, and an empty element still ends.
  EXPECT_NE(events.out.find("    characters \"front\"\n  endElement scan\n  startElement e\n"
                            "    endAttributes e\n  endElement e\n"),
            std::string::npos)
      << events.out;
  EXPECT_EQ(zttools({"xml", "xpath", file, "//scan | //e"}).out, "<scan>  front</scan>\n<e/>\n");
  const Outcome none = zttools({"xml", "xpath", file, "//absent"});
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.err.find("no node matches"), std::string::npos);
  EXPECT_EQ(zttools({"xml", "xpath", file, "//["}).status, 1);
}

TEST(Cli, DemoRunsAndCleansUp) {
  const Outcome run = zttools({"demo"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("commands ended as expected"), std::string::npos);
  const std::string marker = "run in ";
  const std::size_t at = run.out.find(marker);
  ASSERT_NE(at, std::string::npos);
  const std::string folder = run.out.substr(
      at + marker.size(), run.out.find(' ', at + marker.size()) - at - marker.size());
  EXPECT_FALSE(fs::exists(folder)) << folder;
}

}  // namespace
