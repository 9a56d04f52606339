// The zttools command run as a user runs it: a child process with its arguments and standard
// input, whose exit status, standard output and standard error are checked. Only what the command
// adds is pinned here (options, exit statuses, output shape, diagnostics); the library's
// behaviour is the library suites' to pin, with one case per tool to show it is wired.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

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

// What each command answers: its exit status, and what reaches standard output and standard
// error. Usage errors are status 2, failures at run time status 1 with one line naming the input
// and the system's (or the reader's) reason, never a status number.
TEST(Cli, EveryAnswerHasItsStatusAndStreams) {
  const ScratchDir dir;
  const std::string folder = dir.path().string();
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = folder + "/missing.xml";
  const std::string broken = dir.write("b.xml", "<a>\n<b>&bogus;</b></a>");
  const std::string plain = dir.write("plain.xml", "<a/>");
  const std::string wide = dir.write("wide.xml", "<processedtokens>\n<\xe6\xbc\xa2 x=1/>\n");
  const std::string store =
      dir.write("tags.xml",
                "<vexkoratagstore><tags><tag name=\"Color\"><id>0x1</id><tagvalues>"
                "<tagvalue name=\"Red\"><value>0</value></tagvalue>"
                "<tagvalue name=\"Blue\"><value>1</value></tagvalue></tagvalues></tag>"
                "<tag name=\"0x001a\"><id>7</id><tagvalues/></tag></tags></vexkoratagstore>");
  const std::string xml = dir.write("s.xml", "<s v=\"2\"><scan>  front</scan><e/></s>");
  const std::string base =
      dir.write("default.ini", "[Preset]\nPreset Driver=F\ndpi=300\nmode=color\n");
  const std::string user = dir.write("user.ini", "[Preset]\r\nPreset Driver=B\r\ndpi=200\r\n");
  const std::string longText(200, 'a');
  const std::string tokens = dir.write("t.xml", zttools({"tokenex", "xml", "Lot %05S %2L"}).out);
  const auto format = [](const std::string& group, const std::string& format) {
    return std::vector<std::string>{group,       "format", "--now", "2024-05-01T13:05:09",
                                    "--counter", "42",     format};
  };
  using ::testing::_;
  using ::testing::IsEmpty;
  using ::testing::Not;
  struct Case {
    std::vector<std::string> words;
    int status;
    ::testing::Matcher<const std::string&> text;  // of standard output on success, else of error
    ::testing::Matcher<const std::string&> other = ::testing::IsEmpty();  // of the other stream
    std::string input = "";   // standard input, when not an empty file
    std::string output = "";  // standard output, when not collected
  };
  const Case cases[] = {
      {{}, 2, HasSubstr("missing command")},
      {{"scan"}, 2, HasSubstr("unknown command 'scan'")},
      {{"token"}, 2, HasSubstr("Try 'zttools token --help'")},
      {{"token", "scan", "%Y"}, 2, HasSubstr("unknown subcommand 'token scan'")},
      {{"token", "check"}, 2, HasSubstr("missing FORMAT")},
      {{"token", "format", "--now"}, 2, HasSubstr("'--now' needs a value")},
      {{"token", "format", "--now", "2024-02-30T00:00:00", "%Y"},
       2,
       HasSubstr("YYYY-MM-DDTHH:MM:SS")},
      {{"token", "format", "--counter", "-1", "%S"}, 2, HasSubstr("whole number")},
      {{"tokenex", "check", "--refuse", "Q", "%Y"}, 2, HasSubstr("kind letters")},
      {{"log", "plan", folder, "--policy", "threshold"}, 2, HasSubstr("needs --megabytes")},
      {{"log", "plan", folder, "--policy", "all", "--megabytes", "3"}, 2, HasSubstr("belong to")},
      // --megabytes at its documented maximum, and one above.
      {{"log", "plan", folder, "--policy", "threshold", "--megabytes", "2047"},
       0,
       HasSubstr("<keep>")},
      {{"log", "plan", folder, "--policy", "threshold", "--megabytes", "2048"},
       2,
       HasSubstr("0 to 2047")},
      {{"preset", "fill", "--from", "a.ini", "--into", "-"}, 2, HasSubstr("not standard input")},
      {{"preset", "diff", "-", "-"}, 2, HasSubstr("only one of A and B")},
      {{"preset", "fill", "--from", "a.ini"}, 2, HasSubstr("needs --from A and --into B")},
      {{"token", "check", "--", "-x %Y"}, 0, HasSubstr("valid: 3 tokens")},
      {{"--help"}, 0, HasSubstr("log clean")},
      {{"-h"}, 0, HasSubstr("log clean")},
      {{"tags", "-h"}, 0, HasSubstr("usage: zttools tags FILE")},
      {{"log", "-h"}, 0, HasSubstr("plan")},
      {{"--version"}, 0, HasSubstr("libzttools 1.0.12001.24001")},
      {{"token", "string", "/dev/zero"}, 1, HasSubstr("/dev/zero: not a regular file")},
      {{"preset", "show", missing}, 1, HasSubstr(missing + ": No such file or directory")},
      {{"xml", "xpath", fifo, "/a"}, 1, HasSubstr(fifo + ": not a regular file")},
      {{"xml", "events", "-"}, 1, HasSubstr("<stdin>: not a regular file"), IsEmpty(), "/dev/zero"},
      {{"log", "plan", missing, "--policy", "all"}, 1, HasSubstr(missing + ": No such file")},
      {{"log", "plan", plain, "--policy", "all"}, 1, HasSubstr(plain + ": Not a directory")},
      {{"xml", "events", broken}, 1, HasSubstr(broken + ":2:11: Entity 'bogus' not defined"), _},
      {{"tags", plain}, 1, HasSubstr(plain + ": not a tag store")},
      {{"--help"}, 1, HasSubstr("write error: No space left on device"), _, "", "/dev/full"},
      // A rejected string shown in a short escaped window, the caret under the named character:
      // the caret counts columns, the position bytes (é is two bytes, 漢 two columns).
      {{"token", "format", "\xc3\xa9\xe6\xbc\xa2%1,Y"},
       1,
       "\xc3\xa9\xe6\xbc\xa2%1,Y\n     ^\nerror 2 at position 7: Invalid date delimiter.\n"},
      {{"token", "check", "\x1b[2J %Q"},
       1,
       "\\x1b[2J %Q\n         ^\nerror 26 at position 6: Unknown format specifier.\n"},
      {{"token", "check", longText + "%Q" + longText},
       1,
       "..." + std::string(36, 'a') + "%Q" + std::string(36, 'a') + "...\n" + std::string(40, ' ') +
           "^\nerror 26 at position 201: Unknown format specifier.\n"},
      // A document's error: the reader's line and column, the caret after wide characters.
      {{"token", "string", "-"},
       1,
       "<stdin>:2:6: AttValue: \" or ' expected\n<\xe6\xbc\xa2 x=1/>\n      ^\n",
       IsEmpty(),
       wide},
      {{"tokenex", "check", "--json", "%2L"}, 0, HasSubstr("\"kind\": \"level\"")},
      // The extended document leaves out what the reference formatter refuses.
      {{"tokenex", "xml", "--refuse", "A", "%A %Y"},
       0,
       AllOf(Not(HasSubstr("iafielda")), HasSubstr("<date/>"))},
      {{"token", "check", "--json", "Lot %Q"}, 1, IsEmpty(), HasSubstr("\"position\": 5")},
      // "-" reads standard input, here the file the row names last.
      {{"tags", "-"}, 0, "1\tColor\n\t0\tRed\n\t1\tBlue\n7\t0x001a\n", IsEmpty(), store},
      {{"tags", store, "--name", "Color"}, 0, "1\n"},
      {{"tags", store, "--id", "0x1"}, 0, "Color\n"},
      {{"tags", store, "--id", "1", "--value", "0"}, 0, "Red\n"},
      {{"tags", store, "--id", "1", "--json"}, 0, "{\n  \"id\": 1,\n  \"name\": \"Color\"\n}\n"},
      {{"tags", store, "--id", "26"}, 1, _},  // the generated name 0x001a belongs to tag 7
      {{"tags", store, "--name", "Size"}, 1, _},
      {{"tags", store, "--name", "Color", "--value", "Green"}, 1, _},
      {{"tags", store, "--id", "1", "--value", "5"}, 1, _},
      {{"tags", store, "--id", "70000"}, 2, _},
      {{"tags", store, "--value", "0"}, 2, _},
      {{"tags", store, "--id", "1", "--name", "Color"}, 2, _},
      {{"xml", "events", "-"}, 0, HasSubstr("  endElement e\n"), IsEmpty(), xml},
      {{"xml", "xpath", "-", "//scan | //e"}, 0, "<scan>  front</scan>\n<e/>\n", IsEmpty(), xml},
      {{"tokenex", "string", "-"}, 0, "Lot %50S %2L\n", IsEmpty(), tokens},
      {{"tokenex", "template", "-"}, 0, "1 S L\n", IsEmpty(), tokens},
      {{"xml", "xpath", xml, "//absent"}, 0, IsEmpty(), HasSubstr("no node matches")},
      {{"xml", "xpath", xml, "//["}, 1, _},
      // The reference formatter's fixed rules.
      {format("token", "%Y"), 0, "20240501\n"},
      {format("token", "%1/Y|%2.Y|%3-Y"), 0, "2024/05/01|01.05.2024|05-01-2024\n"},
      {format("token", "%4_Y|%5/Y|%6/Y"), 0, "24 05 01|01/05/24|05/01/24\n"},
      {format("token", "%7-Y|%8-Y|%9Y"), 0, "2024-122|24-122|122\n"},
      {format("token", "%T|%2T|%3T|%4T"), 0, "13:05:09|13:05|130509|1305\n"},
      {format("token", "%5T|%6T|%7T|%8T|%9T"), 0, "01:05:09 PM|01:05 PM|13|05:09|47109\n"},
      {format("token", "%5S|%05S|%15S|%1S|#|%0S"), 0, "00042|00042|   42|2|42|42\n"},
      {format("token", "50%% off%N##"), 0, "50% off\n#\n"},
      {format("tokenex", "%A %F %L %3L"), 0, "{A} {F} L1 L3\n"},
      {{"preset", "diff", "-", user}, 0, "dpi: 300 -> 200\n", IsEmpty(), base},
      {{"preset", "show", "-", "mode"}, 0, "color\n", IsEmpty(), base},
      {{"preset", "show", base, "absent"}, 1, _},
      // fill writes B only when asked.
      {{"preset", "fill", "--from", "-", "--into", user}, 0, "+ mode=color\n", _, base},
      {{"preset", "show", user}, 0, "Preset Driver=B\ndpi=200\n"},
      {{"preset", "fill", "--from", "-", "--into", user, "--write"}, 0, _, _, base},
      {{"preset", "show", user}, 0, "Preset Driver=B\ndpi=200\nmode=color\n"},
  };
  for (const Case& c : cases) {
    const Outcome run = zttools({.words = c.words, .inputPath = c.input, .outputPath = c.output});
    SCOPED_TRACE(::testing::PrintToString(c.words));
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_THAT(c.status == 0 ? run.out : run.err, c.text);
    EXPECT_THAT(c.status == 0 ? run.err : run.out, c.other);
    if (c.status == 1) {
      EXPECT_THAT(run.err, Not(HasSubstr("0x")));
    }
  }
}

// Every listed command answers --help with its usage line, and the manual page and the
// bash completion name it and every option its usage line names.
TEST(Cli, HelpManualAndCompletionCoverEveryCommandAndOption) {
  const fs::path folder = fs::path(cli()).parent_path();
  const std::string manual = readFile((folder / "zttools.1").string());
  const std::string completion = readFile((folder / "zttools.bash").string());
  int listed = 0;
  std::istringstream overview(zttools({"--help"}).out);
  for (std::string line; std::getline(overview, line);) {
    if (line.rfind("  ", 0) != 0) continue;
    std::istringstream in(line);
    std::string group, sub;
    in >> group >> sub;
    // One-word commands (tags, demo) are followed by their summary.
    std::vector<std::string> words = {group};
    if (group != "tags" && group != "demo") words.push_back(sub);
    const std::string command = group + (words.size() == 2 ? " " + sub : "");
    for (const std::string& word : words) EXPECT_THAT(completion, HasSubstr(word));
    ++listed;
    words.push_back("--help");
    const Outcome help = zttools(words);
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind("usage: zttools " + command, 0), 0u) << help.out;
    EXPECT_NE(manual.find(".SS \"zttools " + command + "\""), std::string::npos) << command;
    const std::string usage = help.out.substr(0, help.out.find('\n'));
    for (std::size_t at = usage.find("--"); at != std::string::npos;
         at = usage.find("--", at + 2)) {
      const std::string option = usage.substr(at, usage.find_first_of(" ]|=", at) - at);
      std::string escaped;  // roff writes a hyphen as \-
      for (char c : option) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_NE(manual.find(escaped), std::string::npos) << command << " " << option;
      EXPECT_NE(completion.find(option + " "), std::string::npos) << command << " " << option;
    }
  }
  EXPECT_EQ(listed, 19);
}

class CliFiles : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string path(const std::string& name) const { return (dir.path() / name).string(); }
  void writeLog(const std::string& name, std::time_t when) {
    const std::string file = dir.write(name, std::string(100, 'x'));
    const timespec times[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, file.c_str(), times, 0);
  }
};

// With --yes every selected file goes unasked, and past the progress bar's threshold nothing is
// drawn when standard error is not a terminal. Paths in JSON are strings whatever bytes they
// hold: markup the XML report leaves as it is, and bytes that are not UTF-8 as \ufffd.
TEST_F(CliFiles, CleanWithYesDeletesUnaskedAndJsonCarriesAnyPath) {
  writeLog("logs/a.log", std::time(nullptr));
  for (int i = 0; i < 300; ++i) writeLog("logs/old/c" + std::to_string(i) + ".log", 946684800);
  writeLog("logs/q\" size=\"1\xff.log", 946684800);
  const std::string odd = "\"path\": \"" + path("logs") + "/q\\\" size=\\\"1\\ufffd.log\"";
  // A trailing slash does not double the separator in reported paths.
  const Outcome plan = zttools({"log", "plan", path("logs") + "/", "--policy", "latest", "--json"});
  EXPECT_THAT(plan.out, HasSubstr("\"keep\": [\n    {\n      \"path\": \"" + path("logs/a.log")));
  EXPECT_THAT(plan.out, HasSubstr(odd));
  const Outcome clean =
      zttools({"log", "clean", path("logs"), "--policy", "latest", "--yes", "--json"});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.err, "deleted 301, refused 0, failed 0\n");
  EXPECT_THAT(clean.out, HasSubstr(odd + ",\n      \"result\": \"deleted\""));
  EXPECT_THAT(clean.out, HasSubstr("\"deleted\": 301,\n  \"refused\": 0"));
  EXPECT_TRUE(fs::is_empty(path("logs/old")));
  EXPECT_TRUE(fs::exists(path("logs/a.log")));
}

TEST_F(CliFiles, CleanAsksPerFile) {
  const auto log = [](char name) { return "logs/" + std::string(1, name) + ".log"; };
  for (char name = 'a'; name <= 'f'; ++name) writeLog(log(name), 946684800);
  // Every form of yes deletes; anything else, and the end of the input, refuses.
  const Outcome run =
      zttools({"log", "clean", path("logs"), "--policy", "all"}, "y\nY\nyes\nYES\nn\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("deleted 4, refused 2, failed 0\n"));
  for (char name = 'a'; name <= 'f'; ++name) EXPECT_EQ(fs::exists(path(log(name))), name > 'd');
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

TEST(Cli, DemoRunsAndCleansUp) {
  const Outcome run = zttools({"demo"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("commands ended as expected"), std::string::npos);
  const std::size_t at = run.out.find("run in ");
  ASSERT_NE(at, std::string::npos);
  const std::string folder = run.out.substr(at + 7, run.out.find(' ', at + 7) - at - 7);
  EXPECT_FALSE(fs::exists(folder)) << folder;
}

}  // namespace
