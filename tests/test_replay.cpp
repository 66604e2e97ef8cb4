// The replay tool as authors use it: a script in, screenshots and the log out, clear refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;

std::string Replay() { return std::string(std::getenv("LANTHORN_BUILD_DIR")) + "/tools/replay/lanthorn-replay"; }

// Runs a command; returns its exit status and what it printed on stderr.
int RunCommand(const std::string& cmd, std::string* err = nullptr) {
  std::string full = cmd + " 2>&1 >/dev/null";
  FILE* p = ::popen(full.c_str(), "r");
  std::string out;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  int status = ::pclose(p);
  if (err) *err = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Replay, PlaysAScriptAndWritesShotsAndLog) {
  GameFolder folder;
  folder.WriteEmptyGame();
  folder.Write("in.txt",
               "# comment\nframes 3\nmove 10 20\nclick 400 300 right\nkey DIK_RETURN\n"
               "keydown DIK_LCONTROL\nframes 2 33\nkeyup DIK_LCONTROL\nwheel -2\nbuttondown left\n"
               "frames 2\nbuttonup left\nshot a.png\n");
  std::string err;
  ASSERT_EQ(RunCommand(Replay() + " " + folder.path() + " in.txt out", &err), 0) << err;
  auto png = folder.Read("out/a.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  // Width and height of the header chunk, big-endian.
  EXPECT_EQ((png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19]), 800);
  EXPECT_EQ((png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23]), 600);
  auto log = folder.Read("out/log.txt");
  EXPECT_NE(std::string(log.begin(), log.end()).find("[InitInstance : 0] DirectSound Create"),
            std::string::npos);
}

TEST(Replay, RefusesMalformedScriptsWithTheLine) {
  struct Case {
    const char* script;
    const char* line;
  } cases[] = {
      {"frames 2\nframes x\n", ":2:"},
      {"key DIK_NOSUCH\n", ":1:"},
      {"# ok\n\nclick 1 2 middle\n", ":3:"},
      {"wheel 3\n", ":1:"},
      {"frames 1\nbuttondown middle\n", ":2:"},
      {"buttonup\n", ":1:"},
      {"shot ../escape.png\n", ":1:"},
      {"jump 1\n", ":1:"},
  };
  for (const Case& c : cases) {
    GameFolder folder;
    folder.WriteEmptyGame();
    folder.Write("in.txt", c.script);
    std::string err;
    EXPECT_EQ(RunCommand(Replay() + " " + folder.path() + " in.txt out", &err), 2) << c.script;
    EXPECT_NE(err.find(c.line), std::string::npos) << err;
    EXPECT_FALSE(folder.Exists("out/log.txt"));  // nothing ran
  }
}

TEST(Replay, FrameTimesHaveALineAFrameAndASummary) {
  GameFolder folder;
  folder.WriteEmptyGame();
  folder.Write("in.txt", "frames 3\nkey DIK_RETURN\nclick 10 10\n");
  const std::string times = folder.path() + "/times.txt", summary = folder.path() + "/sum.txt";
  std::string err;
  ASSERT_EQ(RunCommand("(" + Replay() + " --frame-times " + times + " " + folder.path() +
                           " in.txt out > " + summary + ")",
                       &err),
            0)
      << err;
  // Seven frames: three, then two for the key and two for the click.
  auto bytes = folder.Read("times.txt");
  std::string text(bytes.begin(), bytes.end());
  int lines = 0, loads = 0;
  for (size_t pos = 0; pos < text.size(); ++lines) {
    size_t end = text.find('\n', pos);
    ASSERT_NE(end, std::string::npos);
    unsigned frame = 0;
    long long cpu = -1, wall = -1;
    int n = 0;
    char mark[8] = {};
    int fields = std::sscanf(text.substr(pos, end - pos).c_str(), "%u %lld %lld %7s %d", &frame,
                             &cpu, &wall, mark, &n);
    EXPECT_EQ(frame, static_cast<unsigned>(lines + 1));
    EXPECT_GE(cpu, 0);
    EXPECT_GE(wall, 0);
    EXPECT_TRUE(fields == 3 || (fields == 5 && std::string(mark) == "load" && n > 0)) << text;
    loads += fields == 5;
    pos = end + 1;
  }
  EXPECT_EQ(lines, 7);
  auto sum = folder.Read("sum.txt");
  const std::string summary_text(sum.begin(), sum.end());
  EXPECT_EQ(summary_text.rfind("frames 7 (" + std::to_string(loads) + " loaded pictures)\nwall: median ", 0),
            0u)
      << summary_text;
  EXPECT_NE(summary_text.find("\ncpu: median "), std::string::npos) << summary_text;

  EXPECT_EQ(RunCommand(Replay() + " " + folder.path() + " in.txt out --frame-times"), 2);
  EXPECT_EQ(RunCommand(Replay() + " --frame-rate 3 " + folder.path() + " in.txt out"), 2);
}

TEST(Replay, AGameThatCannotStartFails) {
  GameFolder folder;
  folder.WriteEmptyArchive("system.pkd");
  folder.Write("in.txt", "frames 1\n");
  std::string err;
  EXPECT_EQ(RunCommand(Replay() + " " + folder.path() + " in.txt out", &err), 1);
  EXPECT_NE(err.find("thumb.pkd not found. Initialize failed."), std::string::npos) << err;
  EXPECT_EQ(RunCommand(Replay() + " only-two-args in.txt"), 2);
}

}  // namespace
