// The zttools command run as a user runs it: a child process with its arguments and standard
// input, whose exit status, standard output and standard error are checked.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// Runs the command with `words`, with `input` as its standard input, and collects its standard
// output and error from files. With `unprivileged`, a root test process runs the command as
// nobody, so that permissions apply to it.
Outcome zttools(const std::vector<std::string>& words, const std::string& input = "",
                bool unprivileged = false) {
  const char* program = std::getenv("ZT_CLI");
  if (program == nullptr) {
    ADD_FAILURE() << "ZT_CLI does not name the zttools command";
    return {};
  }
  const ScratchDir streams;
  const std::string files[] = {streams.write("in", input), streams.write("out", ""),
                               streams.write("err", "")};
  const pid_t child = fork();
  if (child == 0) {
    for (int fd = 0; fd < 3; ++fd) dup2(open(files[fd].c_str(), fd == 0 ? O_RDONLY : O_WRONLY), fd);
    if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(125);
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(program, argv.data());
    _exit(126);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(files[1]), readFile(files[2])};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Cli, ExitStatusesAndStreams) {
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
      {{"log", "plan", "/", "--policy", "threshold"}, 2, "", "needs --megabytes"},
      {{"log", "plan", "/", "--policy", "all", "--megabytes", "3"}, 2, "", "belong to"},
      {{"log", "plan", "/nonexistent-zt", "--policy", "all"}, 1, "", "No such file"},
      {{"tags", "/nonexistent-zt"}, 1, "", "No such file"},
      {{"preset", "show", "/nonexistent-zt"}, 1, "", "no \"Preset\" section"},
      {{"token", "check", "--", "-x %Y"}, 0, "valid: 3 tokens", ""},
      {{"--help"}, 0, "log clean", ""},
      {{"--version"}, 0, "1.0.12001.24001", ""},
  };
  for (const Case& c : cases) {
    const Outcome run = zttools(c.words);
    std::string name;
    for (const std::string& word : c.words) name += word + " ";
    EXPECT_EQ(run.status, c.status) << name << run.err;
    EXPECT_NE(run.out.find(c.inOut), std::string::npos) << name << run.out;
    EXPECT_NE(run.err.find(c.inErr), std::string::npos) << name << run.err;
    // Results go to standard output only on success, diagnostics to standard error only on
    // failure.
    EXPECT_EQ(c.status == 0 ? run.err : run.out, "") << name;
  }
}

// Every command the overview lists answers --help with its usage line.
TEST(Cli, EveryCommandHasHelp) {
  const Outcome overview = zttools({"--help"});
  int commands = 0;
  for (const std::string& line : lines(overview.out)) {
    if (line.rfind("  ", 0) != 0) continue;
    std::istringstream words(line);
    std::vector<std::string> name;
    for (std::string word; words >> word && name.size() < 2;) name.push_back(word);
    // One-word commands (tags, demo) are followed by their summary.
    if (name[0] == "tags" || name[0] == "demo") name.resize(1);
    std::vector<std::string> help = name;
    help.push_back("--help");
    const Outcome run = zttools(help);
    EXPECT_EQ(run.status, 0) << line;
    EXPECT_EQ(run.out.rfind("usage: zttools " + name[0], 0), 0u) << run.out;
    ++commands;
  }
  EXPECT_EQ(commands, 19);
}

TEST(Cli, RejectedFormatStringsPointAtTheFault) {
  struct Case {
    std::vector<std::string> words;
    std::string caret;
    std::string verdict;
  };
  const Case cases[] = {
      {{"token", "check", "Lot %25S"}, "     ^", "error 14 at position 5: Error in format string."},
      {{"token", "xml", "%N%N%N"}, "    ^", "error 23 at position 4: Too many newline tokens."},
      // The caret counts characters, the position bytes: é is two bytes.
      {{"token", "format", "\xc3\xa9%1,Y"},
       "   ^",
       "error 2 at position 4: Invalid date delimiter."},
      {{"tokenex", "check", "%/B"}, " ^", "error 21 at position 1: token parsing error occured"},
      {{"tokenex", "format", "--refuse", "L", "Scan %A %2L"},
       "          ^",
       "error 27 at position 10: token parsing error occured"},
  };
  for (const Case& c : cases) {
    const Outcome run = zttools(c.words);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines(run.err), (std::vector<std::string>{c.words.back(), c.caret, c.verdict}));
  }
}

TEST(Cli, CheckListsTheTokensAFormatterReceives) {
  const Outcome run = zttools({"token", "check", "Lot %05S #"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "valid: 5 tokens\n"
            "  message    text \"Lot\"\n"
            "  blank\n"
            "  counter    modifier \"5\" delimiter \"0\"\n"
            "  blank\n"
            "  counter    modifier \"#\"\n");
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

TEST(Cli, DocumentsTravelBackThroughStandardInput) {
  for (const std::string group : {"token", "tokenex"}) {
    const Outcome xml = zttools({group, "xml", "Lot A %05S %1/Y"});
    ASSERT_EQ(xml.status, 0);
    const Outcome format = zttools({group, "string", "-"}, xml.out);
    EXPECT_EQ(format.out, "Lot A %50S %1/Y\n") << group;
    const Outcome templ = zttools({group, "template", "-"}, xml.out);
    EXPECT_EQ(templ.out, "1 S Y\n") << group;
  }
  const Outcome refused = zttools({"tokenex", "xml", "--refuse", "A", "%A %Y"});
  EXPECT_EQ(refused.out.find("iafielda"), std::string::npos);
  EXPECT_NE(refused.out.find("<date/>"), std::string::npos);

  const Outcome broken = zttools({"token", "string", "-"}, "<processedtokens>\n  <tokens>\n</x>\n");
  EXPECT_EQ(broken.status, 1);
  const std::vector<std::string> err = lines(broken.err);
  ASSERT_EQ(err.size(), 3u) << broken.err;
  EXPECT_EQ(err[0].rfind("<stdin>:3:", 0), 0u) << err[0];
  EXPECT_NE(err[0].find("error -"), std::string::npos);
  EXPECT_EQ(err[1], "</x>");
  EXPECT_EQ(err[2].back(), '^');
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
  writeLog("logs/b.LOG", now - 86400 * 400);
  // More files than the progress bar's threshold: without a terminal it draws nothing.
  for (int i = 0; i < 300; ++i) writeLog("logs/old/c" + std::to_string(i) + ".log", 946684800);
  writeLog("logs/keep.txt", 946684800);
  const std::string logs = path("logs");
  const Outcome plan = zttools({"log", "plan", logs, "--policy", "latest"});
  ASSERT_EQ(plan.status, 0) << plan.err;
  const std::vector<std::string> planned = names(plan.out, "delete");
  EXPECT_EQ(planned.size(), 301u);
  EXPECT_EQ(names(plan.out, "keep"), std::vector<std::string>{logs + "/a.log"});
  for (const std::string& file : planned) EXPECT_TRUE(fs::exists(file)) << file;

  const Outcome clean = zttools({"log", "clean", logs, "--policy", "latest", "--yes"});
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(clean.err, "");
  EXPECT_EQ(names(clean.out, "report"), planned);
  for (const std::string& file : planned) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(logs + "/a.log"));
  EXPECT_TRUE(fs::exists(logs + "/keep.txt"));
}

TEST_F(CliFiles, ThresholdOrderDecidesWhatGoes) {
  // a is the largest and oldest file, c the smallest and newest; together they pass 1 MiB.
  writeLog("logs/a.log", 1000000000, 700 * 1024);
  writeLog("logs/b.log", 1000003600, 400 * 1024);
  writeLog("logs/c.log", 1000007200, 300 * 1024);
  const std::string logs = path("logs");
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"time", {logs + "/a.log"}},
      {"size", {logs + "/c.log", logs + "/b.log"}},
  };
  for (const auto& [order, deleted] : cases) {
    const Outcome plan = zttools(
        {"log", "plan", logs, "--policy", "threshold", "--megabytes", "1", "--order", order});
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_EQ(names(plan.out, "delete"), deleted) << order;
  }
}

TEST_F(CliFiles, CleanAsksPerFile) {
  for (const char* name : {"logs/a.log", "logs/b.log", "logs/c.log"}) writeLog(name, 946684800);
  // Yes to the first, no to the second; the end of the input refuses the third.
  const Outcome run = zttools({"log", "clean", path("logs"), "--policy", "all"}, "y\nn\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("delete " + path("logs/a.log") + "? [y/N/a/q]"), std::string::npos);
  EXPECT_FALSE(fs::exists(path("logs/a.log")));
  EXPECT_TRUE(fs::exists(path("logs/b.log")));
  EXPECT_TRUE(fs::exists(path("logs/c.log")));
  EXPECT_EQ(occurrences(run.out, "<code>0</code>"), 1u);
  EXPECT_EQ(occurrences(run.out, "<code>1223</code>"), 2u);
}

TEST_F(CliFiles, FailedDeletionIsRejected) {
  writeLog("logs/a.log", 946684800);
  fs::permissions(dir.path(), fs::perms(0755));
  fs::permissions(path("logs"), fs::perms(0555));
  const Outcome run = zttools({"log", "clean", path("logs"), "--policy", "all", "--yes"}, "", true);
  fs::permissions(path("logs"), fs::perms(0755));
  if (run.status == 125) GTEST_SKIP() << "cannot drop privileges here";
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("<code>13</code>"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("1 of 1 files could not be deleted"), std::string::npos) << run.err;
}

TEST_F(CliFiles, PresetDiffShowAndFill) {
  const std::string base =
      dir.write("default.ini", "[Preset]\nPreset Driver=F\ndpi=300\nmode=color\n");
  const std::string user = dir.write("user.ini", "[Preset]\r\nPreset Driver=B\r\ndpi=200\r\n");
  EXPECT_EQ(zttools({"preset", "diff", base, user}).out, "dpi: 300 -> 200\n");
  EXPECT_EQ(zttools({"preset", "show", user}).out, "Preset Driver=B\ndpi=200\n");
  EXPECT_EQ(zttools({"preset", "show", base, "mode"}).out, "color\n");
  EXPECT_EQ(zttools({"preset", "show", base, "absent"}).status, 1);
  EXPECT_EQ(zttools({"preset", "fill", "--from", base}).status, 2);

  const Outcome dry = zttools({"preset", "fill", "--from", base, "--into", user});
  EXPECT_EQ(dry.out, "+ mode=color\n");
  EXPECT_EQ(zttools({"preset", "show", user}).out, "Preset Driver=B\ndpi=200\n");
  const Outcome written = zttools({"preset", "fill", "--from", base, "--into", user, "--write"});
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(zttools({"preset", "show", user}).out, "Preset Driver=B\ndpi=200\nmode=color\n");
  EXPECT_EQ(zttools({"preset", "fill", "--from", base, "--into", user}).out, "");
}

TEST_F(CliFiles, TagLookups) {
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
      {{"--id", "7"}, 0, "0x001a\n"},
      {{"--name", "Color", "--value", "Blue"}, 0, "1\n"},
      {{"--id", "1", "--value", "0"}, 0, "Red\n"},
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
    EXPECT_EQ(run.status, c.status) << words.back() << run.err;
    EXPECT_EQ(run.out, c.out) << words.back();
  }
  EXPECT_EQ(zttools({"tags", dir.write("bad.xml", "<vexkoratagstore><tags>")}).status, 1);
}

TEST_F(CliFiles, XmlEventsAndXPath) {
  const std::string file = dir.write("s.xml", "<s v=\"2\"><scan>  front</scan><e/></s>");
  const Outcome events = zttools({"xml", "events", file});
  EXPECT_EQ(events.status, 0);
  EXPECT_EQ(events.out,
            "setController\nstartDocument\nstartElement s\n  startAttributes s\n"
            "  attribute v=\"2\"\n  endAttributes s\n  startElement scan\n"
            "    endAttributes scan\n    characters \"front\"\n  endElement scan\n"
            "  startElement e\n    endAttributes e\n  endElement e\nendElement s\n"
            "endDocument\n");
  EXPECT_EQ(zttools({"xml", "xpath", file, "//scan | //e"}).out, "<scan>  front</scan>\n<e/>\n");
  const Outcome none = zttools({"xml", "xpath", file, "//absent"});
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.err.find("no node matches"), std::string::npos);
  EXPECT_EQ(zttools({"xml", "xpath", file, "//["}).status, 1);
  const Outcome broken = zttools({"xml", "events", dir.write("b.xml", "<a>\n<b>&bogus;</b></a>")});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("b.xml:2:"), std::string::npos) << broken.err;
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
