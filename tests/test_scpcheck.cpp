// The script checker as its users run it: a fixture game with one fault of each kind gives
// exactly the expected "FILE:LINE: message" lines and exit status 1; a clean game gives nothing
// and 0; wrong usage 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sjis.h"
#include "resource/pack_writer.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;
using Bytes = std::vector<uint8_t>;

using testing_support::ScriptFile;

struct Result {
  int status = -1;
  std::string out;
};

Result RunChecker(const std::string& arguments) {
  const char* build = std::getenv("LANTHORN_BUILD_DIR");
  const std::string command =
      std::string(build ? build : ".") + "/tools/scpcheck/scpcheck " + arguments + " 2>/dev/null";
  Result r;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// The other files of the fixture game: pictures in grp.pkd, one sound on disk.
void WriteGame(const GameFolder& folder,
               const std::vector<std::pair<std::string, std::string>>& scripts) {
  std::vector<PackSource> system;
  for (const auto& [name, text] : scripts) system.push_back({"SCP\\" + name, ScriptFile(text)});
  folder.Write("system.pkd", *BuildPack(system));
  folder.Write("grp.pkd", *BuildPack({{"BG\\ok.png", {1}}, {"CHR\\ok.png", {1}}}));
  folder.WriteEmptyArchive("thumb.pkd");
  folder.Write("SOUND/SE/ok.wav", "RIFF");
}

TEST(ScpCheck, EachFaultGivesItsLineAndTheExitStatusSaysSo) {
  GameFolder folder;
  WriteGame(folder,
            {{"bad.scp",
              "// one fault to a statement\n"  // 1
              "@bogus\n"  // 2
              "@chr_load X,ok.png\n"  // 3
              "\n"  // 4
              "@jump *nowhere\n"  // 5
              "@load missing\n"  // 6
              "@select {\n"  // 7
              "a,*nolabel\n"  // 8
              "b,other\n"  // 9
              "c,gone\n"  // 10
              "}\n"  // 11
              "@bg_load none.png\n"  // 12
              "@chr_load A,none.png\n"  // 13
              "@bg_load SYSTEM_x.png\n"  // 14
              "@se_load 1,none.wav\n"  // 15
              "@se_load 2,ok.wav\n"  // 16
              "@movie_load 001.mpg\n"  // 17
              "}\n"  // 18
              "@text,1 {\n"  // 19
              "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほま\n"  // 20
              "}\n"  // 21
              "@def_text {\n"  // 22
              "1 ABCDEFGHIJKLMNOPQ ffff on\n"  // 23
              "}\n"  // 24
              "#if ev_etc01\n"  // 25
              "top:\n"  // 26
              "$[1]++\n"  // 27
              "@jump *top\n"  // 28
              "if( $[1] == 0 ){\n"  // 29
              "@wait 10\n"},  // 30
             {"other.scp",
              "@bg_load ok.png\n"
              "@chr_load B,ok.png\n"
              "@se_load 0,OK.WAV\n"  // files on disk are found in any case, as the game finds them
              "again:\n"
              "$[1]++\n"
              "if( $[1] < 3 ){\n"
              "  @jump *again\n"  // a loop with a way out
              "}\n"
              "wait:\n"
              "@wait 100\n"
              "@jump *wait\n"  // a loop that yields
              "@load bad\n"}});

  const std::string expected =
      "SCP\\bad.scp:2: unknown command '@bogus'\n"
      "SCP\\bad.scp:3: bad argument: '@chr_load X,ok.png'\n"
      "SCP\\bad.scp:5: label '*nowhere' not found\n"
      "SCP\\bad.scp:6: script SCP\\missing.scp is missing from system.pkd\n"
      "SCP\\bad.scp:8: choice target: label '*nolabel' not found\n"
      "SCP\\bad.scp:10: choice target: script SCP\\gone.scp is missing from system.pkd\n"
      "SCP\\bad.scp:12: picture BG\\none.png is missing from grp.pkd\n"
      "SCP\\bad.scp:13: picture CHR\\none.png is missing from grp.pkd\n"
      "SCP\\bad.scp:14: picture BG\\SYSTEM_x.png is missing from system.pkd\n"
      "SCP\\bad.scp:15: sound file SOUND\\SE\\none.wav is missing\n"
      "SCP\\bad.scp:17: movie file MOVIE\\HIGH\\001.mpg is missing\n"
      "SCP\\bad.scp:17: movie file MOVIE\\LOW\\001.mpg is missing\n"
      "SCP\\bad.scp:18: '}' without an open if-block\n"
      "SCP\\bad.scp:20: @text: line over 30 characters: "
      "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほま\n"
      "SCP\\bad.scp:23: @def_text: name over 15 bytes: ABCDEFGHIJKLMNOPQ\n"
      "SCP\\bad.scp:29: '{' of this if is never closed\n"
      "SCP\\bad.scp:25: #if without #endif\n"
      "SCP\\bad.scp:28: warning: '@jump *top' goes back to line 26 with no yielding command or "
      "if in between: an endless loop\n";
  const Result folder_run = RunChecker(folder.path());
  EXPECT_EQ(folder_run.out, expected);
  EXPECT_EQ(folder_run.status, 1);
  // One archive checks the same scripts, with the folder around it for the rest.
  const Result archive_run = RunChecker(folder.path() + "/system.pkd");
  EXPECT_EQ(archive_run.out, expected);
  EXPECT_EQ(archive_run.status, 1);
}

TEST(ScpCheck, ACleanGameIsQuietAndWrongUsageIsTwo) {
  GameFolder folder;
  WriteGame(folder, {{"startup.scp", "@bg_load ok.png\n@text,0 {\n「はい」\n}\n"}});
  const Result clean = RunChecker(folder.path());
  EXPECT_EQ(clean.out, "");
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(RunChecker("").status, 2);
  EXPECT_EQ(RunChecker(folder.path() + " extra").status, 2);
  EXPECT_EQ(RunChecker(folder.path() + "/no-such-folder").status, 2);
}

}  // namespace
