// The interpreter on the headless engine: variables and conditions, blocks, the command table,
// labels, loads, the end of a script, clickable regions, and scripts that would hang a frame.
// Scripts are written here in UTF-8 with "\n" line ends and packed as the game has them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "platform/sjis.h"
#include "resource/pack_writer.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;
using Bytes = std::vector<uint8_t>;

using testing_support::ScriptFile;

class InterpreterTest : public ::testing::Test {
 protected:
  // Starts the game with these scripts ("name" -> "SCP\name.scp") in the system archive.
  void Boot(const std::vector<std::pair<std::string, std::string>>& scripts = {}) {
    std::vector<PackSource> entries;
    for (const auto& [name, text] : scripts)
      entries.push_back({"SCP\\" + name + ".scp", ScriptFile(text)});
    folder.Write("system.pkd", *BuildPack(entries));
    folder.WriteEmptyArchive("thumb.pkd");
    folder.WriteEmptyArchive("grp.pkd");
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    adv().game_mode = MODE_ADV;
  }
  CADV& adv() { return game.process.adv; }
  void Load(const std::string& name) { ASSERT_TRUE(adv().script.Load("SCP\\" + name + ".scp")); }
  // A script that is not in the archive, straight from memory.
  void Run(std::string_view utf8) {
    const Bytes b = ScriptFile(utf8);
    ASSERT_TRUE(adv().script.LoadFromMemory("SCP\\t.scp", b.data(), b.size()));
  }
  void Step(int n = 1) {
    for (int i = 0; i < n; ++i) adv().ScriptStep();
  }
  int Count(std::string_view utf8) const { return game.process.log.Count(SJ(utf8)); }
  bool Logged(std::string_view utf8) const { return Count(utf8) > 0; }
  int32_t& Local(int i) { return adv().save_record.LocalVariables[i]; }
  void ClearLocals() {
    for (int32_t& v : adv().save_record.LocalVariables) v = 0;
  }

  GameFolder folder;
  HeadlessGame game;
};

const char* const kUnknown = "そのような命令はありません。";
const char* const kArgumentError = "コマンド引数に問題があります。";
const char* const kRangeError = "数値が異常です";

TEST_F(InterpreterTest, VariablesStayInsideTheirFamiliesAndSystemWritesReachTheFile) {
  Boot();
  Run("$[99] = 5\n"
      "$[100] = 7\n"
      "$FAV[5]++\n"
      "$FAV[6]++\n"
      "$SYS[32]++\n"
      "$SYS[33] = 1\n"
      "$[0]--\n"
      "$[1\n"
      "$1]++\n"
      "$[2] = 4\n");
  Step();
  EXPECT_EQ(Local(99), 5);
  EXPECT_TRUE(Logged("ローカル変数 : $[99] (0) -> (5)"));
  EXPECT_TRUE(Logged("スクリプト変数番号に指定できる最大値(100)を超えた数字が使用されています。"));
  EXPECT_EQ(adv().save_record.FavourVariables[5], 1);
  EXPECT_TRUE(Logged("好感度変数番号に指定できる最大値(5)を超えた数字が使用されています。"));
  EXPECT_EQ(adv().save_record.FavourVariables[6], 0);  // the unused slots of the block
  EXPECT_TRUE(Logged("システム変数番号に指定できる最大値(32)を超えた数字が使用されています。"));
  EXPECT_EQ(Local(0), -1);
  EXPECT_TRUE(Logged("スクリプト変数に]がありません。"));
  EXPECT_TRUE(Logged("スクリプト変数に[がありません。"));
  EXPECT_EQ(Local(2), 4);  // the refused statements did not end the step
  // The "=" and value of a refused assignment are not reported as commands of their own.
  EXPECT_EQ(Count(kUnknown), 0);

  // $SYS[32] lives at offset 248 of system.dat, rewritten at once.
  const Bytes dat = folder.Read("system.dat");
  ASSERT_EQ(dat.size(), 252u);
  EXPECT_EQ(dat[248], 1);
  EXPECT_TRUE(Logged("システム変数 : $SYS[32] (0) -> (1)"));
}

TEST_F(InterpreterTest, MalformedIndexOrValueEndsTheStepWithNothingChanged) {
  Boot();
  struct Case {
    const char* statement;
  } cases[] = {{"$[x]++"}, {"$[$[1]] = 3"}, {"$[3] = abc"}, {"$[3] = -4"}};
  for (const Case& c : cases) {
    ClearLocals();
    Run(std::string(c.statement) + "\n$[5] = 1\n");
    Step();
    EXPECT_EQ(Local(3), 0) << c.statement;
    EXPECT_EQ(Local(5), 0) << c.statement;  // the step ended
    Step();
    EXPECT_EQ(Local(5), 1) << c.statement;  // and the next one goes on
  }
}

TEST_F(InterpreterTest, ConditionsEvaluateLeftToRightAndASingleTokenIsText) {
  Boot();
  struct Case {
    int32_t one;  // $[1]
    const char* condition;
    bool holds;
  } cases[] = {
      {0, "$[1] == 0", true},
      {7, "$[1] == 0", false},
      {0, "$[1]", false},
      {0, "0", true},
      {0, "00", false},
      {2, "$[1] < 3 == 0", true},
      {5, "$[1] < 3 == 0", false},
      {5, "$[1] < 3 == 1", true},
      {5, "( $[1] > 4 )", true},
      {0, "1 > 2", false},
      {3, "$[1] == 3 == 0 == 0", true},
  };
  for (const Case& c : cases) {
    ClearLocals();
    Local(1) = c.one;
    Run(std::string("if( ") + c.condition + " ){\n$[10] = 1\n}else{\n$[11] = 1\n}\n$[12] = 1\n");
    Step();
    EXPECT_EQ(Local(10), c.holds ? 1 : 0) << c.condition;
    EXPECT_EQ(Local(11), c.holds ? 0 : 1) << c.condition;
    EXPECT_EQ(Local(12), 1) << c.condition;
    EXPECT_EQ(adv().script_state.if_stack.Depth(), 0) << c.condition;
  }
}

TEST_F(InterpreterTest, ConditionsThatCannotBeEvaluatedRunTheIfBody) {
  Boot();
  struct Case {
    const char* condition;
    bool same_step;  // an empty condition runs the body at once; the others from the next step
    const char* message;
  } cases[] = {
      {"", true, "式の評価に失敗しました。"},
      {"$[1] != 0", false, nullptr},
      {"$[1] == x", false, "数字以外の文字は使用できません。"},
      {"$[1] ==", false, "式の評価に失敗しました。"},
      {"$[200] == 0", false, "スクリプト変数番号に指定できる最大値(100)"},
  };
  for (const Case& c : cases) {
    ClearLocals();
    const int before = c.message ? Count(c.message) : 0;
    Run(std::string("if( ") + c.condition + " ){\n$[10] = 1\n}else{\n$[11] = 1\n}\n$[12] = 1\n");
    Step();
    EXPECT_EQ(Local(10), c.same_step ? 1 : 0) << c.condition;
    if (!c.same_step) Step();
    EXPECT_EQ(Local(10), 1) << c.condition;
    EXPECT_EQ(Local(11), 0) << c.condition;
    EXPECT_EQ(Local(12), 1) << c.condition;
    EXPECT_EQ(adv().script_state.if_stack.Depth(), 0) << c.condition;
    if (c.message) {
      EXPECT_EQ(Count(c.message), before + 1) << c.condition;
    }
  }
  // A ")" too many is reported and otherwise ignored.
  Run("if( $[1] == 0 ) ){\n$[20] = 1\n}\n");
  Step();
  EXPECT_TRUE(Logged(")が多すぎます。"));
  EXPECT_EQ(Local(20), 1);
}

// Skipping a false branch stops at the first "}" or "}else{", whatever block it belongs to.
TEST_F(InterpreterTest, SkippingDoesNotCountNesting) {
  Boot();
  Run("if( 1 ){\n"
      "  $[1] = 1\n"
      "  if( 0 ){\n"
      "    $[2] = 1\n"
      "  }else{\n"
      "    $[3] = 1\n"
      "  }\n"
      "  $[4] = 1\n"
      "}\n"
      "$[5] = 1\n");
  Step();
  EXPECT_EQ(Local(1), 0);
  EXPECT_EQ(Local(2), 0);
  EXPECT_EQ(Local(3), 1);  // the inner "}else{" ended the skip
  EXPECT_EQ(Local(4), 1);
  EXPECT_EQ(Local(5), 1);
  // The outer "}" then closes nothing and is reported as before.
  EXPECT_TRUE(Logged("そのような命令はありません。(})"));
  EXPECT_EQ(adv().script_state.if_stack.Depth(), 0);
}

// Blocks nest inside the branch that runs; the branch skipped holds no block (skipping does not
// count nesting, above).
TEST_F(InterpreterTest, BlocksNestInTheIfBranchAndInTheElseBranch) {
  Boot();
  const std::string in_if =
      "if( $[1] == 1 ){\n"
      "  $[10] = 1\n"
      "  if( $[2] == 1 ){\n"
      "    $[11] = 1\n"
      "  }else{\n"
      "    $[13] = 1\n"
      "  }\n"
      "  if( $[2] == 1 ){\n"
      "    $[12] = 1\n"
      "  }\n"
      "  $[14] = 1\n"
      "}else{\n"
      "  $[15] = 1\n"
      "}\n"
      "$[19] = 1\n";
  const std::string in_else =
      "if( $[1] == 1 ){\n"
      "  $[10] = 1\n"
      "}else{\n"
      "  $[15] = 1\n"
      "  if( $[2] == 1 ){\n"
      "    $[16] = 1\n"
      "  }else{\n"
      "    $[17] = 1\n"
      "  }\n"
      "  $[18] = 1\n"
      "}\n"
      "$[19] = 1\n";
  struct Case {
    const std::string* script;
    int32_t one, two;
    std::vector<int> ran;  // of $[10]-$[18]
  } cases[] = {
      {&in_if, 1, 1, {10, 11, 12, 14}},
      {&in_if, 1, 0, {10, 13, 14}},
      {&in_else, 0, 1, {15, 16, 18}},
      {&in_else, 0, 0, {15, 17, 18}},
  };
  for (const Case& c : cases) {
    ClearLocals();
    Local(1) = c.one;
    Local(2) = c.two;
    Run(*c.script);
    Step();
    for (int v = 10; v <= 18; ++v) {
      const bool expected = std::find(c.ran.begin(), c.ran.end(), v) != c.ran.end();
      EXPECT_EQ(Local(v), expected ? 1 : 0) << c.one << c.two << " $[" << v << "]";
    }
    EXPECT_EQ(Local(19), 1);
    EXPECT_EQ(adv().script_state.if_stack.Depth(), 0) << c.one << c.two;
  }
  EXPECT_EQ(Count(kUnknown), 0);  // every "}" closed its own block
}

TEST_F(InterpreterTest, ADeepNestingIsCountedWithoutGrowingAndStaysBalanced) {
  Boot();
  constexpr int kDepth = 5000;
  std::string s;
  for (int i = 0; i < kDepth; ++i) s += "if( 0 ){\n";
  s += "$[1] = 1\n";
  for (int i = 0; i < kDepth; ++i) s += "}\n";
  s += "$[2] = 1\n";
  Run(s);
  Step();
  EXPECT_EQ(Local(1), 1);
  EXPECT_EQ(Local(2), 1);
  EXPECT_EQ(adv().script_state.if_stack.Depth(), 0);
  EXPECT_EQ(game.process.log.Count("if-blocks nested deeper than 1024"), 1);
}

TEST_F(InterpreterTest, AMisspeltCommandAndThenItsArgumentAreReported) {
  Boot();
  Run("@bg_lod bg01.png\n$[1] = 1\n");
  Step();
  EXPECT_TRUE(Logged("そのような命令はありません。(@bg_lod)"));
  EXPECT_TRUE(Logged("そのような命令はありません。(bg01.png)"));
  EXPECT_EQ(Local(1), 1);  // skipped, and the step went on
}

// Arguments a command accepts, made from the kinds of its fields.
std::string GoodField(const ArgField& f) {
  switch (f.kind) {
    case ArgKind::kNumber: return "10";
    case ArgKind::kInt: return std::to_string(f.min > INT32_MIN ? f.min : 1);
    case ArgKind::kName:
      return f.file == FileKind::kLabel ? "*here" : f.file == FileKind::kScript ? "two" : "x.png";
    case ArgKind::kSlot: return "A";
    case ArgKind::kSlotGroup: return "AB";
    case ArgKind::kShowHide: return "show";
    case ArgKind::kOnOff: return "on";
    case ArgKind::kScrollDirection: return "left";
    case ArgKind::kSlideDirection: return "top";
    case ArgKind::kQuakeDirection: return "hor";
    case ArgKind::kAny: return "x";
  }
  return {};
}

struct CommandCase {
  std::string line;  // the command with its arguments (lines of a block included)
  std::string message;  // the report a bad case must give; empty for a good case
};

std::string Join(const CommandSpec& spec, int bad_field, const std::string& bad, bool drop_last) {
  std::string out;
  const int n = spec.field_count - (drop_last ? 1 : 0);
  for (int i = 0; i < n; ++i) {
    if (i) out += ',';
    out += i == bad_field ? bad : GoodField(spec.fields[static_cast<size_t>(i)]);
  }
  return out;
}

// A good case and the bad cases of one command.
std::vector<CommandCase> CasesOf(const CommandSpec& spec) {
  const std::string name(spec.name);
  const std::string anime = "@anim_set failed";
  std::vector<CommandCase> cases;
  switch (spec.form) {
    case ArgForm::kNone: cases.push_back({name, ""}); break;
    case ArgForm::kToken: {
      const ArgField& f = spec.fields[0];
      cases.push_back({name + " " + GoodField(f), ""});
      if (f.kind == ArgKind::kName) {
        cases.push_back({name, kArgumentError});  // missing
      } else if (f.kind == ArgKind::kInt) {
        cases.push_back({name + " " + std::to_string(f.max + 1), kRangeError});
        cases.push_back({name + " x", kArgumentError});
      } else if (f.kind != ArgKind::kNumber && f.kind != ArgKind::kAny) {
        cases.push_back({name + " bogus", kArgumentError});
      }
      if (name == "@OMOIDE_FLAG_SET")
        cases.push_back(
            {name + " 17", "@OMOIDE_FLAG_SET に指定できる数値(1-16)ではありません。 -> 17"});
      break;
    }
    case ArgForm::kCommaList: {
      const std::string malformed = spec.message == ArgMessage::kAnimeSet ? anime : kArgumentError;
      cases.push_back({name + " " + Join(spec, -1, "", false), ""});
      cases.push_back({name + " " + Join(spec, -1, "", true), malformed});  // a field short
      cases.push_back({name + " " + Join(spec, 0, "?", false), malformed});  // a bad field
      if (spec.fields[spec.field_count - 1u].kind != ArgKind::kName)  // a name takes the rest
        cases.push_back(
            {name + " " + Join(spec, -1, "", false) + ",1", malformed});  // one too many
      for (int i = 0; i < spec.field_count; ++i) {
        const ArgField& f = spec.fields[static_cast<size_t>(i)];
        if (f.kind == ArgKind::kInt && f.max < INT32_MAX)
          cases.push_back(
              {name + " " + Join(spec, i, std::to_string(f.max + 1), false), kRangeError});
        if (f.kind == ArgKind::kInt && f.min > INT32_MIN)
          cases.push_back(
              {name + " " + Join(spec, i, std::to_string(f.min - 1), false), kRangeError});
      }
      break;
    }
    case ArgForm::kTextPage:
      cases.push_back({"@text,1,v01 {\n「行」\n}", ""});
      cases.push_back({"@text,300 {\n「行」\n}", "キャラ名番号が(0-127)の範囲にありません"});
      cases.push_back({"@text,1 {\n1\n2\n3\n4\n}", "ERROR: too many text line."});
      break;
    case ArgForm::kDefText:
      cases.push_back({"@def_text {\n1 名前 ffff on\n}", ""});
      cases.push_back(
          {"@def_text {\n300 名前 ffff on\n}", "キャラ名番号が(0-127)の範囲にありません"});
      break;
    case ArgForm::kSelect:
      cases.push_back({"@select {\nはい,*here\nいいえ,two\n}", ""});
      cases.push_back(
          {"@select {\na,*here\nb,*here\nc,*here\nd,*here\ne,*here\n}", "more than 4 choices"});
      break;
    case ArgForm::kBattleSelect:
      cases.push_back({"@battle_select {\na,*here,1\nb,*here,2\n},10,*here", ""});
      cases.push_back({"@battle_select {\na,*here\n},10,*here", kArgumentError});
      break;
  }
  return cases;
}

// Every command of the table, with good arguments and with bad ones: a good one runs without an
// argument report, a bad one gives its report and never reaches its operation, and both return
// from the step or go on exactly as the table says.
TEST_F(InterpreterTest, EveryCommandOfTheTableChecksItsArgumentsAndYieldsAsListed) {
  Boot({{"two", "$[50] = 1\n"}});
  const std::vector<std::string> reports = {kArgumentError,
                                            kRangeError,
                                            "@anim_set failed",
                                            "キャラ名番号",
                                            "ERROR: too many text line.",
                                            "more than 4 choices",
                                            "@OMOIDE_FLAG_SET に"};
  auto report_count = [&] {
    int n = 0;
    for (const std::string& r : reports) n += Count(r);
    return n;
  };
  int commands = 0;
  for (const CommandSpec& spec : CommandTable()) {
    ++commands;
    for (const CommandCase& c : CasesOf(spec)) {
      const bool good = c.message.empty();
      ClearLocals();
      adv().game_mode = MODE_ADV;
      adv().adv_state = ADV_RUNNING;
      adv().script_end_mode = MODE_TITLE;
      adv().clickable.active = spec.clickable_only;
      adv().clickable.current_region = 1;
      adv().script_state.screen_effect_running = false;  // a fade-in started by an earlier case
      const int reports_before = report_count();
      const int calls_before = game.process.log.Count("not built yet");
      Run(c.line + "\nhere:\n$[0]++\n");
      Step();
      EXPECT_EQ(Local(0), spec.yields ? 0 : 1) << c.line;
      if (good) {
        EXPECT_EQ(report_count(), reports_before) << c.line;
      } else {
        EXPECT_GT(Count(c.message), 0) << c.line;
        EXPECT_EQ(report_count(), reports_before + 1) << c.line;
        // A malformed simple argument never reaches the command's operation.
        if (spec.form == ArgForm::kToken || spec.form == ArgForm::kCommaList) {
          EXPECT_EQ(game.process.log.Count("not built yet"), calls_before) << c.line;
        }
      }
    }
  }
  EXPECT_GE(commands, 75);
}

TEST_F(InterpreterTest, FlowCommandsSetTheirState) {
  Boot({{"pending", "$[60] = 1\n"}});
  struct Case {
    const char* script;
    std::function<void(CADV&)> before;
    std::function<bool(CADV&)> check;
  } cases[] = {
      {"@keywait", nullptr, [](CADV& a) { return a.adv_state == ADV_PAGE_WAIT; }},
      {"@wait 500", nullptr,
       [](CADV& a) { return a.script_state.wait_running && a.script_state.wait_duration == 500; }},
      {"@rollback_off", nullptr, [](CADV& a) { return !a.script_state.rollback_enabled; }},
      {"@ending_start", nullptr, [](CADV& a) { return a.script_state.ending; }},
      {"@SET_EPISODENO 3", [](CADV& a) { a.save_record.TownChoicesToday = 1; },
       [](CADV& a) { return a.save_record.TownDay == 2 && a.save_record.TownChoicesToday == 0; }},
      {"@OMOIDE_FLAG_SET 3", nullptr, [](CADV& a) { return a.progress.IsMemorySeen(3); }},
      {"@CALL_TOWNMAP", nullptr,
       [](CADV& a) { return a.game_mode == MODE_TOWN && a.script_state.settle; }},
      {"@CALL_TOWNMAP",
       [](CADV& a) { std::strcpy(a.save_record.TownPendingScript, "SCP\\pending.scp"); },
       [](CADV& a) {
         return a.game_mode == MODE_ADV && a.script.GetName() == "SCP\\pending.scp" &&
                a.save_record.TownPendingScript[0] == 0;
       }},
      {"#cg_quit", nullptr,
       [](CADV& a) { return a.game_mode == MODE_CGMODE && a.script_end_mode == MODE_TITLE; }},
      {"#cg_quit", [](CADV& a) { a.script_end_mode = MODE_OMOIDE; },
       [](CADV& a) { return a.game_mode == MODE_OMOIDE && a.script_end_mode == MODE_TITLE; }},
  };
  for (const Case& c : cases) {
    adv().game_mode = MODE_ADV;
    adv().adv_state = ADV_RUNNING;
    adv().script_end_mode = MODE_TITLE;
    adv().script_state.settle = false;
    if (c.before) c.before(adv());
    Run(c.script);
    Step();
    EXPECT_TRUE(c.check(adv())) << c.script;
  }
  EXPECT_TRUE(folder.Exists("data.dat"));  // the memory flag was saved at once
  // The fourth heroine's memories are 13-16; 0 and 17 are none.
  for (int n : {0, 13, 16, 17}) {
    Run("@OMOIDE_FLAG_SET " + std::to_string(n) + "\n");
    Step();
    EXPECT_EQ(adv().progress.IsMemorySeen(n), n == 13 || n == 16) << n;
  }
}

TEST_F(InterpreterTest, IfLinesFollowTheSeenFlagThatBackgroundsSet) {
  Boot();
  Run("#if ev_etc02\n$[1] = 1\n#endif\n"
      "#if nothing\n$[2] = 1\n#endif\n"
      "@bg_load ev_etc02.png\n"
      "#if ev_etc02\n$[3] = 1\n#endif\n"
      "#if ev_etc03\n$[4] = 1\n");
  Step();
  EXPECT_EQ(Local(1), 0);  // not seen yet: left out
  EXPECT_EQ(Local(2), 1);  // not a picture: reported, and the block runs
  EXPECT_TRUE(Logged("フラグのないファイル名です。 : nothing"));
  EXPECT_TRUE(adv().progress.IsPictureSeen(1));
  EXPECT_TRUE(folder.Exists("data.dat"));
  Step();
  EXPECT_EQ(Local(3), 1);
  EXPECT_EQ(Local(4), 0);
  EXPECT_TRUE(Logged("#ifに対応する#endifがありません。"));
}

TEST_F(InterpreterTest, EventPictureNamesUnlockWhateverTheirLetterCase) {
  Boot();
  const struct {
    const char* name;
    int index;
  } cases[] = {{"EV_ETC02.png", 1}, {"Ev_Etc03.PNG", 2}, {"ev_ETC07-01.Png", 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Run(std::string("@bg_load ") + c.name + "\n");
    Step();
    EXPECT_TRUE(adv().progress.IsPictureSeen(c.index));
  }
}

TEST_F(InterpreterTest, TheFadeInsHoldTheScriptAndTheFadeOutsDoNot) {
  Boot();
  for (int kind = EFFECT_WHITE_IN; kind <= EFFECT_PAGE_OUT; ++kind) {
    ClearLocals();
    adv().script_state.screen_effect_running = true;
    adv().script_state.screen_effect_kind = kind;
    Run("$[1] = 1\n");
    Step();
    const bool held = kind == EFFECT_WHITE_IN || kind == EFFECT_BLACK_IN || kind == EFFECT_WIPE3_IN;
    EXPECT_EQ(Local(1), held ? 0 : 1) << kind;
  }
}

TEST_F(InterpreterTest, TheEndOfAScriptReturnsAReplayToItsListAndLeavesAStoryWhereItIs) {
  Boot();
  struct Case {
    GameMode end_mode;
    GameMode after;
    const char* set_up;
  } cases[] = {
      {MODE_TITLE, MODE_ADV, nullptr},
      {MODE_CGMODE, MODE_CGMODE, "CGMODE_Init"},
      {MODE_OMOIDE, MODE_OMOIDE, "OMOIDE_Init"},
  };
  for (const Case& c : cases) {
    adv().game_mode = MODE_ADV;
    adv().script_end_mode = c.end_mode;
    const int returns = Count("スクリプトのEOFを検知しました。強制的に復帰します。");
    Run("$[1]++\n");
    Step(3);
    EXPECT_EQ(Local(1), 1);
    EXPECT_EQ(adv().game_mode, c.after) << c.end_mode;
    EXPECT_EQ(adv().script_end_mode, MODE_TITLE) << c.end_mode;
    EXPECT_EQ(Count("スクリプトのEOFを検知しました。強制的に復帰します。"),
              returns + (c.set_up ? 1 : 0));
    if (c.set_up) {
      const bool set_up = c.end_mode == MODE_CGMODE ? adv().picture_gallery.has_value()
                                                    : adv().memory_replay.has_value();
      EXPECT_TRUE(set_up) << c.set_up;
      EXPECT_EQ(adv().title.state, 20);
    }
    Local(1) = 0;
  }
}

TEST_F(InterpreterTest, JumpsSearchForwardFirstThenBackAndGoOnWhenNothingIsFound) {
  Boot();
  Run("up:\n"
      "$[1]++\n"
      "@jump *fwd\n"
      "$[2] = 9\n"
      "fwd:\n"
      "if( $[1] == 1 ){\n"
      "  @jump *up\n"
      "}\n"
      "dup:\n"
      "$[3]++\n"
      "@jump *dup\n"
      "$[4] = 9\n"
      "dup:\n"
      "@jump *nowhere\n"
      "$[5] = 1\n");
  Step();
  EXPECT_EQ(Local(1), 2);  // back to "up:" once
  EXPECT_EQ(Local(2), 0);
  EXPECT_EQ(Local(3), 1);  // the "dup:" below wins over the one above
  EXPECT_EQ(Local(4), 0);
  EXPECT_EQ(Local(5), 1);
  EXPECT_TRUE(Logged("ERROR : ラベル *nowhere はスクリプトファイル SCP\\t.scp にありません。"));
  EXPECT_EQ(Count("JUMP : ラベル *up "), 1);
  EXPECT_EQ(Count(kUnknown), 0);  // labels passed over are not commands
}

TEST_F(InterpreterTest, AJumpOutOfAClickableScopeClosesIt) {
  Boot();
  Run("A0[\n@jump *out\n]\nout:\n$[1] = 1\n");
  adv().clickable.active = true;
  adv().script.SetPosition(1);
  Step();
  EXPECT_FALSE(adv().clickable.active);
  EXPECT_TRUE(Logged("JUMP : ラベル *out は@clickableのスコープ外です"));
  EXPECT_EQ(Local(1), 1);
}

TEST_F(InterpreterTest, LoadFindsTheScriptWithOrWithoutItsExtensionAndYields) {
  Boot({{"two", "$[50]++\n"}});
  for (const char* name : {"two", "two.scp"}) {
    Local(50) = 0;
    Run(std::string("@load ") + name + "\n$[1] = 1\n");
    adv().clickable.active = true;
    adv().adv_state = ADV_CLICKABLE;
    Step();
    EXPECT_EQ(adv().script.GetName(), "SCP\\two.scp") << name;
    EXPECT_EQ(adv().adv_state, ADV_RUNNING);
    EXPECT_FALSE(adv().clickable.active);
    EXPECT_TRUE(adv().script_state.settle);
    EXPECT_EQ(Local(50), 0) << name;  // it yielded
    Step();
    EXPECT_EQ(Local(50), 1) << name;
  }
  EXPECT_EQ(Count("Load Script [SCP\\two.scp]"), 2);
  // The read position of the script left behind is recorded.
  EXPECT_GT(adv().read_positions.Stored("SCP\\t.scp"), 0);

  Run("@load none\n");
  Step(3);
  EXPECT_TRUE(Logged("ERROR: Load fail [SCP\\none.scp]"));
  EXPECT_EQ(adv().script.TokenCount(), -1);
  EXPECT_EQ(adv().script.NextToken(), "EOF");
}

TEST_F(InterpreterTest, ChoiceTargetsJumpWithoutTheScopeCheckOrLoadAScript) {
  Boot({{"two", "$[50]++\n"}});
  Run("A0[\n]\nlab:\n$[1] = 1\n");
  adv().clickable.active = true;
  adv().adv_state = ADV_CHOICE;
  adv().FollowChoiceTarget("*lab");
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
  EXPECT_FALSE(adv().clickable.active);
  EXPECT_FALSE(Logged("スコープ外"));
  Step();
  EXPECT_EQ(Local(1), 1);
  adv().FollowChoiceTarget("two");
  EXPECT_EQ(adv().script.GetName(), "SCP\\two.scp");
  adv().FollowChoiceTarget("*missing");
  EXPECT_TRUE(Logged("ERROR : ラベル *missing はスクリプトファイル SCP\\two.scp にありません。"));
}

// A region map of 16 × 16 with a few coloured pixels.
void PaintMap(CImage32& map) {
  ASSERT_EQ(map.Create(16, 16), 1);
  auto put = [&](int x, int y, uint32_t argb) {
    uint8_t* p = map.Pixels() + (y * 16 + x) * 4;
    p[0] = argb & 0xFF;
    p[1] = argb >> 8 & 0xFF;
    p[2] = argb >> 16 & 0xFF;
    p[3] = argb >> 24;
  };
  put(1, 1, 0xFFFF0000);  // A, opaque
  put(2, 1, 0x000000FF);  // C, alpha 0
  put(3, 1, 0xFFFFFF00);  // D
  put(4, 1, 0x00FFFF00);  // D without alpha
  put(5, 1, 0xFFFFFE00);  // one step off D
  put(6, 1, 0x80FFFF00);  // D half transparent
  put(7, 1, 0xFFFFFFFF);  // G
}

TEST_F(InterpreterTest, RegionsAreExactColoursWithOrWithoutAnOpaqueAlpha) {
  Boot();
  PaintMap(adv().clickable.map);
  struct Case {
    int x, y, region;
  } cases[] = {{1, 1, 1}, {2, 1, 3}, {3, 1, 4}, {4, 1, 4},   {5, 1, 0},
               {6, 1, 0}, {7, 1, 7}, {0, 0, 0}, {-1, 0, -1}, {16, 3, -1}};
  for (const Case& c : cases) EXPECT_EQ(adv().RegionAt(c.x, c.y), c.region) << c.x << "," << c.y;
}

TEST_F(InterpreterTest, ClickingARegionRunsItsNextBlockAndTheKeysMoveThePointer) {
  Boot();
  // The story's draw step runs the regions in their state.
  ModeSteps story = adv().StepsOfMode(MODE_ADV);
  story.draw = [](CADV& a) {
    if (a.adv_state == ADV_CLICKABLE) a.ClickableProc();
  };
  adv().SetModeSteps(MODE_ADV, story);
  CImage32& map = adv().clickable.map;
  ASSERT_EQ(map.Create(800, 600), 1);
  map.Fill(0xFFFF0000);  // all A ...
  for (int y = 0; y < 600; ++y)
    for (int x = 700; x < 800; ++x)
      std::memcpy(map.Pixels() + (y * 800 + x) * 4, "\xFF\0\0\xFF", 4);  // ... C on the right
  Run("$[9] = 1\n"
      "A0[\n$[1]++\n]\n"
      "A1[\n$[2]++\n]\n"
      "C0[\n$[3]++\n]\n");
  adv().clickable.active = true;
  adv().clickable.scope_start = 0;
  adv().clickable.block_end[2][0] = -1;  // C's first block stays the next one
  adv().adv_state = ADV_CLICKABLE;

  ASSERT_TRUE(game.Click(100, 100));  // A0, then its "]" back to the regions
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Local(1), 1);
  EXPECT_EQ(adv().adv_state, ADV_CLICKABLE);
  EXPECT_EQ(adv().clickable.counters[0], 1);
  EXPECT_EQ(Local(9), 0);  // the blocks are searched from the scope start, never run through
  EXPECT_TRUE(Logged("@clickable : A0 execute"));

  ASSERT_TRUE(game.Click(100, 100));  // A1
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Local(2), 1);
  ASSERT_TRUE(game.Click(100, 100));  // A2 is missing
  EXPECT_TRUE(Logged("@clickable : error : 指定されたラベル(A2)がありません。"));
  EXPECT_EQ(adv().adv_state, ADV_CLICKABLE);
  EXPECT_EQ(adv().script.GetPosition(), 0);

  // The arrow keys move the pointer (frame time × 10 ÷ 100 + 1 per frame), kept 10 from the
  // edges; Return decides on C, whose block is run again and again.
  game.Move(780, 300);
  game.KeyDown(DIK_RIGHT);
  ASSERT_TRUE(game.Frame(100));
  EXPECT_EQ(game.window.cursor.x, 790);
  game.KeyUp(DIK_RIGHT);
  game.KeyDown(DIK_UP);
  ASSERT_TRUE(game.Frame(100));
  EXPECT_EQ(game.window.cursor.y, 289);
  game.KeyUp(DIK_UP);
  for (int i = 1; i <= 2; ++i) {
    ASSERT_TRUE(game.Key(DIK_RETURN));
    ASSERT_TRUE(game.Frame());
    EXPECT_EQ(Local(3), i);
    EXPECT_EQ(adv().clickable.counters[2], 0);
  }
  // In the regions' state the pointer is theirs; in the running state the game's.
  game.window.SetCursor(platform::Cursor::None);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(game.window.CurrentCursor(), platform::Cursor::None);
  adv().adv_state = ADV_PAGE_WAIT;
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(game.window.CurrentCursor(), platform::Cursor::Game);
}

TEST_F(InterpreterTest, TheStoryRunsItsScriptFrameByFrame) {
  Boot({{"startup", "$[1]++\n@bg_change 500\n$[1]++\n@wait 100\n$[1]++\n"}});
  Load("startup");
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Local(1), 1);
  // The 500 ms cross-fade holds the story until it has run.
  ASSERT_TRUE(game.Frames(10, 16));
  EXPECT_EQ(Local(1), 1);
  ASSERT_TRUE(game.Frames(25, 16));
  EXPECT_EQ(Local(1), 2);
  // A timed wait holds the story until the story mode has counted it down.
  ASSERT_TRUE(game.Frames(3));
  EXPECT_EQ(Local(1), 2);
  adv().script_state.wait_running = false;
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Local(1), 3);
}

TEST_F(InterpreterTest, ScriptsThatWouldHangTheFrameStillLetItEnd) {
  Boot({{"long", std::string(100000, 'a') + "\n"}, {"caller", "@load long\n"}});
  // A loop without a yield: each step ends at the budget, logged once.
  Run("top:\n$[1]++\n@jump *top\n");
  Step(2);
  EXPECT_GT(Local(1), 1000);
  EXPECT_EQ(game.process.log.Count("the script ran this frame's whole budget"), 1);

  // A line of 100,000 bytes is one token too long for the tokeniser: the script is refused.
  Load("caller");
  Step(2);
  EXPECT_TRUE(Logged("ERROR: Load fail [SCP\\long.scp]"));

  // Binary garbage only ever gives reports.
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    Bytes junk(4000);
    for (uint8_t& b : junk) b = static_cast<uint8_t>(random());
    if (!adv().script.LoadFromMemory("SCP\\junk.scp", junk.data(), junk.size())) continue;
    adv().game_mode = MODE_ADV;
    adv().adv_state = ADV_RUNNING;
    for (int i = 0; i < 50; ++i) adv().ScriptStep();
  }
}

// A loop without a yield, played as the game plays it: every frame ends, the log keeps the same
// few lines however many jumps it counts, the budget message comes once, and the player can
// still open the system menu.
TEST_F(InterpreterTest, AYieldlessLoopLeavesTheGameResponsiveAndTheLogFlat) {
  Boot();
  Run("@textwindow_fast show\nloop:\n@jump *loop\n");
  adv().adv_state = ADV_RUNNING;
  ASSERT_TRUE(game.Frames(10));
  const size_t kept = game.process.log.KeptBytes();
  const int jumps = Count("JUMP : ラベル *loop");
  for (int i = 0; i < 600; ++i) ASSERT_TRUE(game.Frame());
  EXPECT_LE(game.process.log.KeptBytes(), kept);
  EXPECT_GT(Count("JUMP : ラベル *loop") - jumps, 600 * 1000) << "the loop did not run";
  EXPECT_EQ(game.process.log.Count("the script ran this frame's whole budget"), 1);
  ASSERT_TRUE(game.Key(DIK_BACK));
  EXPECT_TRUE(adv().system_menu_open);
}

}  // namespace
