// The command interpreter: one step reads statements from the script until one has to wait for
// the screen, the player or time. Here are the step with its order of classification, the
// variable and if statements, the flow and system commands, and the command table that names
// every command with its arguments, whether it yields and the operation that runs it.
//
// Two choices of this engine where a script could leave the if-stack unbalanced: a "}" met while
// a block is open closes it (pops its entry), and an if whose condition cannot be evaluated
// counts as a taken if-branch (its body runs, as it always has, and its "}else{" or "}" closes
// it). So the stack only holds blocks that are really open.
#include <cstdlib>
#include <cstring>

#include "app/adv.h"
#include "app/process.h"
#include "platform/sjis.h"
#include "scene/event_pictures.h"
#include "script/script_log.h"
#include "script/variables.h"

namespace {

// A step ends after this much work even when no statement yielded: a statement costs one plus
// the tokens it moved over, a label search the whole script. A script looping without a yield is
// the script's fault, but the frame still ends, near its budget (a two-line loop spends a few
// milliseconds reaching this), so the menus and quitting keep working; the loop goes on in the
// next frame. Real steps stay far below this.
constexpr int64_t kStepWorkLimit = 250'000;

// The fixed texts, converted once.
struct Texts {
  std::string argument_error =
      SJ("(%s.SCP)%d行目 : error : '%s %s' :　コマンド引数に問題があります。");
  std::string number_error = SJ("(%s.SCP)%d行目 : error : '%s %s' :　数値が異常です");
  std::string anime_set_error = SJ("@anim_set failed : [引数エラー] : %s %s ");
  std::string name_number = SJ("%s: errror %s(%d行): キャラ名番号が(0-127)の範囲にありません");
  std::string unknown = SJ("そのような命令はありません。(%s)");
  std::string not_digit = SJ("数字以外の文字は使用できません。");
  std::string no_open = SJ("スクリプト変数に[がありません。");
  std::string no_close = SJ("スクリプト変数に]がありません。");
  std::string max_favour =
      SJ("好感度変数番号に指定できる最大値(%d)を超えた数字が使用されています。");
  std::string max_system =
      SJ("システム変数番号に指定できる最大値(%d)を超えた数字が使用されています。");
  std::string max_local =
      SJ("スクリプト変数番号に指定できる最大値(%d)を超えた数字が使用されています。");
  std::string set_local = SJ("ローカル変数 : $[%d] (%d) -> (%d)");
  std::string set_favour = SJ("好感度変数 : $FAV[%d] (%d) -> (%d)");
  std::string set_system = SJ("システム変数 : $SYS[%d] (%d) -> (%d)");
  std::string if_start = SJ("if条件分岐");
  std::string too_many_close = SJ(")が多すぎます。");
  std::string eval_failed = SJ("式の評価に失敗しました。");
  std::string if_true = SJ("式の結果(true)");
  std::string if_false = SJ("式の結果(false)");
  std::string no_block_end = SJ("{に対応する}がありません。");
  std::string eof_return = SJ("スクリプトのEOFを検知しました。強制的に復帰します。");
  std::string omoide_range = SJ("@OMOIDE_FLAG_SET に指定できる数値(1-16)ではありません。 -> %d");
  std::string movie_range =
      SJ("@movie_load : 自動フラグ判定に指定できる数値の範囲内(1-185)のファイルではありません。 -> "
         "%s");
  std::string if_unknown = SJ("フラグのないファイル名です。 : %s");
  std::string no_endif = SJ("#ifに対応する#endifがありません。");
  std::string town_load_failed = SJ("%sのロードに失敗しました。");
};
const Texts& T() {
  static const Texts texts;
  return texts;
}

bool IsSeparator(std::string_view t) {
  return t == "\n" || t == "\r" || t.empty();
}

// The end of the script, as opposed to a token spelled EOF.
bool AtEnd(const CScript& script, std::string_view token) {
  return token == "EOF" && script.GetPosition() > script.TokenCount();
}

// Logs the reader problems the way the engine has always reported them.
class LogReporter final : public ScriptReporter {
 public:
  explicit LogReporter(const CScript& script) : script_(script) {}

  void Report(ScriptProblem problem, std::string_view command, std::string_view detail) override {
    const std::string name = ScriptBaseName(script_.GetName());
    const int line = script_.GetLine();
    const std::string c(command), d(detail);
    std::string text;
    switch (problem) {
      case ScriptProblem::kBadArgument:
        text = ScriptFormat(T().argument_error.c_str(), name.c_str(), line, c.c_str(), d.c_str());
        break;
      case ScriptProblem::kBadNumber:
        text = ScriptFormat(T().number_error.c_str(), name.c_str(), line, c.c_str(), d.c_str());
        break;
      case ScriptProblem::kAnimeSetForm:
        text = ScriptFormat(T().anime_set_error.c_str(), c.c_str(), d.c_str());
        break;
      case ScriptProblem::kNoOpenBrace: text = "not found { in " + c; break;
      case ScriptProblem::kNoCloseBrace:
        text = c == "@text" ? "nor found } in @text" : "not found } in " + c;
        break;
      case ScriptProblem::kNameNumber:
        text = ScriptFormat(T().name_number.c_str(), c.c_str(), name.c_str(), line);
        break;
      case ScriptProblem::kTooManyLines:
        text =
            ScriptFormat("ERROR: too many text line. ignore more than 3 text line. %s.scp(%d line)",
                         name.c_str(), line);
        break;
      case ScriptProblem::kTooManyChoices:
        text = c + ": more than 4 choices; the rest are ignored (" + d + ")";
        break;
      case ScriptProblem::kNameTooLong:
        text = c + ": a name has at most 15 bytes; cut: " + d;
        break;
      case ScriptProblem::kLineTooLong: return;  // the text box shows its overflow mark
    }
    LogScript(script_, 2, text);
  }

 private:
  const CScript& script_;
};

int32_t* VariableSlot(CADV& adv, const VariableRef& ref) {
  switch (ref.family) {
    case VariableFamily::kFavour: return &adv.save_record.FavourVariables[ref.index];
    case VariableFamily::kSystem: return &adv.system_data.SystemVariables[ref.index];
    case VariableFamily::kLocal: break;
  }
  return &adv.save_record.LocalVariables[ref.index];
}

// The messages of a reference that does not resolve; a non-digit index has none.
void ReportVariableError(const CScript& script, const VariableRef& ref) {
  switch (ref.error) {
    case VariableError::kNoOpenBracket: LogScript(script, 2, T().no_open); break;
    case VariableError::kNoCloseBracket: LogScript(script, 2, T().no_close); break;
    case VariableError::kIndexTooLarge: {
      const std::string& f = ref.family == VariableFamily::kFavour   ? T().max_favour
                             : ref.family == VariableFamily::kSystem ? T().max_system
                                                                     : T().max_local;
      LogScript(script, 2, ScriptFormat(f.c_str(), ReportedVariableMaximum(ref.family)));
      break;
    }
    case VariableError::kBadIndex:
    case VariableError::kNone: break;
  }
}

// "$[n]++", "$[n]--", "$[n] = value". False when the step ends here.
bool VariableStatement(CADV& adv, const std::string& token) {
  CScript& script = adv.script;
  const VariableRef ref = ParseVariableRef(token);
  const bool increment = token.find("++", 1) != std::string::npos;
  const bool decrement = !increment && token.find("--", 1) != std::string::npos;
  std::string value_token;
  bool assign = false;
  if (!increment && !decrement) {
    const std::string next = script.NextToken();
    if (next == "=") {
      assign = true;
      value_token = script.NextToken();
    } else if (!AtEnd(script, next)) {
      script.SetPosition(script.GetPosition() - 1);  // the next statement
    }
  }
  if (ref.error != VariableError::kNone) {
    // Nothing changes; an assignment's "=" and value have been read with it, so they do not
    // come back as unknown commands.
    ReportVariableError(script, ref);
    return ref.error != VariableError::kBadIndex;
  }
  if (!increment && !decrement && !assign) return true;
  if (assign && !IsDecimalDigits(value_token)) return false;

  int32_t* slot = VariableSlot(adv, ref);
  const int32_t old_value = *slot;
  // Wraps like the 32-bit counters scripts were written against, instead of overflowing.
  const uint32_t u = static_cast<uint32_t>(old_value);
  *slot = increment   ? static_cast<int32_t>(u + 1u)
          : decrement ? static_cast<int32_t>(u - 1u)
                      : DecimalValue(value_token);
  if (ref.family == VariableFamily::kSystem) adv.SaveSystemData();
  const std::string& f = ref.family == VariableFamily::kFavour   ? T().set_favour
                         : ref.family == VariableFamily::kSystem ? T().set_system
                                                                 : T().set_local;
  LogScript(script, ref.family == VariableFamily::kLocal ? 0 : 1,
            ScriptFormat(f.c_str(), ref.index, old_value, *slot));
  return true;
}

// Blocks deeper than the stack stores are counted all the same; crossing that depth is logged.
void PushIf(CADV& adv, uint8_t taken) {
  IfStack& stack = adv.script_state.if_stack;
  if (!stack.Push(taken) && stack.Depth() == IfStack::kCapacity + 1)
    LogScript(adv.script, 2, "if-blocks nested deeper than 1024; the deeper ones count as taken");
}

// Reads to the first "}" (and "}else{" when `or_else`), no nesting counted. Returns the token
// that ended the skip, or "EOF" at the end of the script.
std::string SkipBlock(CScript& script, bool or_else) {
  for (;;) {
    std::string t = script.NextToken();
    if (t == "}" || (or_else && t == "}else{")) return t;
    if (AtEnd(script, t)) return t;
  }
}

// "if( condition ){". The condition is evaluated as it is read: left to right by triples, each
// result ("0" holds, "1" not) becoming the left operand of the next. False when the step ends.
bool IfStatement(CADV& adv) {
  CScript& script = adv.script;
  LogScript(script, 1, T().if_start);
  std::string left;
  std::string op;
  int count = 0;
  int nesting = 0;
  bool failed = false;
  for (;;) {
    std::string t = script.NextToken();
    if (t == "){") break;
    if (AtEnd(script, t)) {
      LogScript(script, 2, "if( without ){ before the end of the script");
      return false;
    }
    // Line ends separate the parts of an if like spaces do; they are not operands.
    if (IsSeparator(t)) continue;
    if (t == "(") {
      ++nesting;
      continue;
    }
    if (t == ")") {
      if (--nesting < 0) LogScript(script, 2, T().too_many_close);
      continue;
    }
    ++count;
    if (failed) continue;
    if (count == 1) {
      left = std::move(t);
    } else if (count % 2 == 0) {
      op = std::move(t);
    } else {
      const std::optional<int32_t> a = adv.ResolveValue(left);
      const std::optional<int32_t> b = a ? adv.ResolveValue(t) : std::nullopt;
      if (!a || !b || (op != "==" && op != "<" && op != ">")) {
        failed = true;
        continue;
      }
      const bool holds = op == "==" ? *a == *b : op == "<" ? *a < *b : *a > *b;
      left.assign(1, holds ? '0' : '1');
    }
  }
  if (count == 0 || (!failed && count % 2 == 0)) {
    LogScript(script, 2, T().eval_failed);
    PushIf(adv, 1);
    return count == 0;  // an empty condition runs the body in this step
  }
  if (failed) {
    PushIf(adv, 1);
    return false;  // the body runs from the next step
  }
  if (left == "0") {
    PushIf(adv, 1);
    LogScript(script, 1, T().if_true);
    return true;
  }
  LogScript(script, 1, T().if_false);
  const std::string end = SkipBlock(script, true);
  if (end == "}else{") {
    PushIf(adv, 0);
  } else if (end != "}") {
    LogScript(script, 2, T().no_block_end);
  }
  return true;
}

// "}else{" in normal execution: an if-body that ran skips its else-body.
void ElseStatement(CADV& adv) {
  IfStack& stack = adv.script_state.if_stack;
  if (stack.Top() == 1) SkipBlock(adv.script, false);
  stack.Pop();
}

// The end of a picture or memory replay: back to its list, which the title music follows.
void EndReplay(CADV& adv, GameMode to) {
  if (to == MODE_OMOIDE) {
    adv.OMOIDE_Init();
  } else {
    adv.CGMODE_Init();
  }
  adv.game_mode = to;
  adv.script_end_mode = MODE_TITLE;
  adv.SetTitleState(20);
}

// A story script that ends stays in the story, reading the end each frame.
void EndOfScript(CADV& adv) {
  if (adv.script_end_mode == MODE_OMOIDE || adv.script_end_mode == MODE_CGMODE) {
    LogScript(adv.script, 1, T().eof_return);
    EndReplay(adv, adv.script_end_mode);
  }
}

// A label on its own line is passed over when execution reaches it.
bool IsLabel(std::string_view t) {
  return t.size() > 1 && t.back() == ':';
}

// --- the handlers of the command table

constexpr CommandFlow kGo = CommandFlow::kAsTable;

CommandFlow RollbackCommand(CADV& a, CommandArgs& x) {
  a.script_state.rollback_enabled = x.spec->code != 0;
  return kGo;
}
CommandFlow EndingStartCommand(CADV& a, CommandArgs&) {
  a.script_state.ending = true;
  return kGo;
}
CommandFlow ScopeEndCommand(CADV& a, CommandArgs&) {
  a.EndClickableBlock();
  return kGo;
}
CommandFlow ExitCommand(CADV& a, CommandArgs&) {
  LogScript(a.script, 1, "Starting QUIZ MODE");
  return kGo;
}
CommandFlow TextWindowCommand(CADV& a, CommandArgs& x) {
  a.TextWindow(static_cast<TextWindowKind>(x.spec->code), x.number[0] == 1);
  return kGo;
}
CommandFlow TextClsCommand(CADV& a, CommandArgs&) {
  a.TextCls();
  return kGo;
}
CommandFlow DefTextCommand(CADV& a, CommandArgs&) {
  CharNameTable table;
  LogReporter report(a.script);
  const bool complete = ReadDefText(a.script, report, table);
  a.DefText(table);
  return complete ? kGo : CommandFlow::kYield;
}
CommandFlow FontLoadCommand(CADV& a, CommandArgs& x) {
  a.FontLoad(x.text[0]);
  a.StartSettle();
  return kGo;
}
CommandFlow TextCommand(CADV& a, CommandArgs& x) {
  TextPage page;
  LogReporter report(a.script);
  if (!ReadTextPage(x.command, a.script, report, page)) return CommandFlow::kYield;
  a.ShowTextPage(page);
  a.RecordReadPosition();
  return kGo;
}
CommandFlow CharNameWindowCommand(CADV& a, CommandArgs& x) {
  a.CharNameWindow(x.number[0] == 1);
  return kGo;
}
CommandFlow TextClearCommand(CADV& a, CommandArgs&) {
  a.TextClear();
  return kGo;
}
CommandFlow OmoideFlagSetCommand(CADV& a, CommandArgs& x) {
  const int32_t n = x.number[0];
  if (n < 1 || n > kMemoryCount) {
    LogScript(a.script, 2, ScriptFormat(T().omoide_range.c_str(), n));
  } else {
    a.UnlockMemory(n);
  }
  return kGo;
}
CommandFlow KeyWaitCommand(CADV& a, CommandArgs&) {
  a.script_state.page_no_wait = false;
  a.SetTextCursorVisible(true);
  a.adv_state = ADV_PAGE_WAIT;
  return kGo;
}
CommandFlow WaitCommand(CADV& a, CommandArgs& x) {
  ScriptState& s = a.script_state;
  s.wait_running = true;
  s.wait_elapsed = 0;
  s.wait_duration = x.number[0] > 0 ? static_cast<uint32_t>(x.number[0]) : 0;
  return kGo;
}
CommandFlow SelectCommand(CADV& a, CommandArgs&) {
  ChoiceList choices;
  LogReporter report(a.script);
  if (!ReadSelect(a.script, report, choices)) return CommandFlow::kYield;
  a.ShowChoices(choices);
  a.RecordReadPosition();
  return kGo;
}
CommandFlow BattleSelectCommand(CADV& a, CommandArgs&) {
  ChoiceList choices;
  LogReporter report(a.script);
  if (!ReadBattleSelect(a.script, report, choices)) return CommandFlow::kYield;
  a.ShowTimedChoices(choices);
  a.RecordReadPosition();
  return kGo;
}
CommandFlow BgLoadCommand(CADV& a, CommandArgs& x) {
  const std::string& file = x.text[0];
  a.BgLoad(file);
  // A background that is an event picture unlocks it in the gallery (and saves the progress).
  const int index = scene::FindEventPicture(std::string_view(file).substr(0, file.find('.')));
  if (index >= 0) a.UnlockPicture(index);
  a.StartSettle();
  return kGo;
}
CommandFlow BgChangeCommand(CADV& a, CommandArgs& x) {
  a.BgChange(x.number[0]);
  return kGo;
}
CommandFlow BgScrollCommand(CADV& a, CommandArgs& x) {
  a.BgScroll(static_cast<ScrollDirection>(x.number[0]), x.number[1]);
  return kGo;
}
CommandFlow BgSyncCommand(CADV& a, CommandArgs&) {
  a.BgSync();
  return kGo;
}
CommandFlow BgWipe3Command(CADV& a, CommandArgs& x) {
  a.BgWipe3(x.number[0]);
  return kGo;
}
CommandFlow RasterCommand(CADV& a, CommandArgs& x) {
  // The fourth number is read and checked but moves nothing.
  a.Raster(static_cast<RasterTarget>(x.spec->code), x.number[0], x.number[1], x.number[2]);
  return kGo;
}
CommandFlow ChrLoadCommand(CADV& a, CommandArgs& x) {
  a.ChrLoad(x.number[0], x.text[1]);
  a.StartSettle();
  return kGo;
}
CommandFlow ChrChangeCommand(CADV& a, CommandArgs& x) {
  int32_t duration = x.number[1];
  if (duration < 0) {  // reported, and taken as an instant change
    LogReporter(a.script).Report(ScriptProblem::kBadArgument, x.command, x.argument);
    duration = 0;
  }
  a.ChrChange(x.number[0], duration);
  return kGo;
}
CommandFlow ChrSlideInCommand(CADV& a, CommandArgs& x) {
  a.ChrSlideIn(x.number[0], x.number[1], x.number[2], static_cast<SlideDirection>(x.number[3]));
  return kGo;
}
CommandFlow ChrSlideOutCommand(CADV& a, CommandArgs& x) {
  a.ChrSlideOut(x.number[0], x.number[1], static_cast<SlideDirection>(x.number[2]));
  return kGo;
}
CommandFlow ChrTurnCommand(CADV& a, CommandArgs& x) {
  a.ChrTurn(static_cast<SlotGroup>(x.number[0]), x.number[1]);
  return kGo;
}
CommandFlow ChrMoveCommand(CADV& a, CommandArgs& x) {
  a.ChrMove(x.number[0], x.number[1], x.number[2]);
  return kGo;
}
CommandFlow ChrSetPosCommand(CADV& a, CommandArgs& x) {
  a.ChrSetPosition(x.number[0], x.number[1]);
  return kGo;
}
CommandFlow ChrShowHideCommand(CADV& a, CommandArgs& x) {
  if (x.spec->code) {
    a.ChrShow(x.number[0]);
  } else {
    a.ChrHide(x.number[0]);
  }
  return kGo;
}
CommandFlow ChrFadeCommand(CADV& a, CommandArgs& x) {
  if (x.spec->code) {
    a.ChrFadeIn(static_cast<SlotGroup>(x.number[0]), x.number[1]);
  } else {
    a.ChrFadeOut(static_cast<SlotGroup>(x.number[0]), x.number[1]);
  }
  return kGo;
}
CommandFlow ChrSwapCommand(CADV& a, CommandArgs& x) {
  a.ChrSwap(x.number[0]);
  return kGo;
}
CommandFlow ChrShadowCommand(CADV& a, CommandArgs& x) {
  a.ChrShadow(x.number[0], x.number[1] == 1);
  return kGo;
}
CommandFlow NothingCommand(CADV&, CommandArgs&) {
  return kGo;
}
CommandFlow AnimeInitCommand(CADV& a, CommandArgs&) {
  a.AnimeInit();
  return kGo;
}
CommandFlow AnimeSetCommand(CADV& a, CommandArgs& x) {
  a.AnimeSet(x.number[0], x.number[1], x.number[2]);
  return kGo;
}
CommandFlow AnimeControlCommand(CADV& a, CommandArgs& x) {
  switch (x.spec->code) {
    case 0: a.AnimeStart(); break;
    case 1: a.AnimePause(); break;
    case 2: a.AnimePlay(); break;
    default: a.AnimeStop(); break;
  }
  return kGo;
}
CommandFlow AnimeLoadCommand(CADV& a, CommandArgs& x) {
  a.AnimeLoad(x.number[0], x.text[1]);
  a.StartSettle();
  return kGo;
}
CommandFlow QuakeCommand(CADV& a, CommandArgs& x) {
  a.Quake(x.number[1], x.number[0]);
  return kGo;
}
CommandFlow EffectCommand(CADV& a, CommandArgs& x) {
  const auto kind = static_cast<ScreenEffectKind>(x.spec->code);
  if (kind <= EFFECT_BLACK_OUT) {
    a.ScreenFade(kind, x.number[0]);
  } else {
    a.ScreenWipe(kind, x.number[0]);
  }
  return kGo;
}
CommandFlow SeLoadCommand(CADV& a, CommandArgs& x) {
  a.SeLoad(x.number[0], x.text[1]);
  return kGo;
}
CommandFlow SePlayCommand(CADV& a, CommandArgs& x) {
  a.SePlay(x.number[0], x.spec->code != 0);
  return kGo;
}
CommandFlow SeStopCommand(CADV& a, CommandArgs& x) {
  a.SeStop(x.number[0]);
  return kGo;
}
CommandFlow SeVolumeCommand(CADV& a, CommandArgs& x) {
  a.SeVolume(x.number[0], x.number[1]);
  return kGo;
}
CommandFlow SeFadeOutCommand(CADV& a, CommandArgs& x) {
  a.SeFadeOut(x.number[0], x.number[1]);
  return kGo;
}
CommandFlow BgmPlayCommand(CADV& a, CommandArgs& x) {
  a.BgmPlay(x.text[0]);
  a.StartSettle();
  return kGo;
}
CommandFlow BgmStopCommand(CADV& a, CommandArgs& x) {
  // 0 stops at once, 1-3 fade at that speed; other speeds are ignored.
  if (x.number[0] >= 0 && x.number[0] <= 3) a.BgmStop(x.number[0]);
  return kGo;
}
CommandFlow LoadCommand(CADV& a, CommandArgs& x) {
  a.LoadScriptCommand(x.text[0]);
  return kGo;
}
CommandFlow JumpCommand(CADV& a, CommandArgs& x) {
  a.JumpToLabel(x.text[0]);
  return kGo;
}
CommandFlow QuitToOpCommand(CADV& a, CommandArgs&) {
  a.RecordReadPosition();
  a.ReturnToTitle();
  return kGo;
}
CommandFlow CallTownmapCommand(CADV& a, CommandArgs&) {
  a.RecordReadPosition();
  char* pending = a.save_record.TownPendingScript;
  const size_t length = strnlen(pending, sizeof a.save_record.TownPendingScript);
  if (length > 0) {
    // The day goes on with the script the town map queued.
    const std::string name(pending, length);
    std::memset(pending, 0, sizeof a.save_record.TownPendingScript);
    if (!a.script.Load(name))
      WriteLog(2, ScriptFormat(T().town_load_failed.c_str(), name.c_str()), "CADV::Town_Proc", 0);
    a.clickable.active = false;
    a.script_state.step_cut_logged = false;
    a.game_mode = MODE_ADV;
    a.adv_state = ADV_RUNNING;
    a.StartSettle();
    return kGo;
  }
  a.adv_state = ADV_RUNNING;
  a.game_mode = MODE_TOWN;
  a.Town_SetPlace();
  a.PlayTownMusic();
  a.StartSettle();
  return kGo;
}
CommandFlow SetEpisodeNoCommand(CADV& a, CommandArgs& x) {
  a.save_record.TownDay = static_cast<int32_t>(static_cast<uint32_t>(x.number[0]) - 1u);
  a.save_record.TownChoicesToday = 0;
  return kGo;
}
CommandFlow MovieLoadCommand(CADV& a, CommandArgs& x) {
  const std::string& file = x.text[0];
  const int32_t n = AtoiValue(file);
  if (n >= 1 && n <= kMovieCount) {
    a.UnlockMovie(n);
  } else {
    LogScript(a.script, 1, ScriptFormat(T().movie_range.c_str(), file.c_str()));
  }
  a.MovieLoad(file);
  return kGo;
}
CommandFlow MovieControlCommand(CADV& a, CommandArgs& x) {
  if (x.spec->code) {
    a.MoviePlay();
  } else {
    a.MovieStop();
  }
  return kGo;
}
CommandFlow IfSeenCommand(CADV& a, CommandArgs& x) {
  const int index = scene::FindEventPicture(x.text[0]);
  if (index < 0) {
    LogScript(a.script, 2, ScriptFormat(T().if_unknown.c_str(), x.text[0].c_str()));
    return kGo;
  }
  if (a.progress.IsPictureSeen(index)) return kGo;
  for (;;) {  // not seen: the block up to the first "#endif" is left out (no nesting)
    const std::string t = a.script.NextToken();
    if (t == "#endif") break;
    if (AtEnd(a.script, t)) {
      LogScript(a.script, 2, T().no_endif);
      break;
    }
  }
  return kGo;
}
// "#cg_quit" ends a replay as the end of its script does (a memory replay returns to its list);
// outside a replay it goes to the picture gallery, as the command always has.
CommandFlow CgQuitCommand(CADV& a, CommandArgs&) {
  EndReplay(a, a.script_end_mode == MODE_OMOIDE ? MODE_OMOIDE : MODE_CGMODE);
  return kGo;
}

// --- building the table

// The engine's operation for each command id, in the order of CommandId.
using CommandHandler = CommandFlow (*)(CADV& adv, CommandArgs& args);
constexpr CommandHandler kHandlers[] = {
    RollbackCommand,
    EndingStartCommand,
    ScopeEndCommand,
    ExitCommand,
    TextWindowCommand,
    TextClsCommand,
    DefTextCommand,
    FontLoadCommand,
    TextCommand,
    CharNameWindowCommand,
    TextClearCommand,
    OmoideFlagSetCommand,
    KeyWaitCommand,
    WaitCommand,
    SelectCommand,
    BattleSelectCommand,
    BgLoadCommand,
    BgChangeCommand,
    BgScrollCommand,
    BgSyncCommand,
    BgWipe3Command,
    RasterCommand,
    ChrLoadCommand,
    ChrChangeCommand,
    ChrSlideInCommand,
    ChrSlideOutCommand,
    ChrTurnCommand,
    ChrMoveCommand,
    ChrSetPosCommand,
    ChrShowHideCommand,
    ChrFadeCommand,
    ChrSwapCommand,
    ChrShadowCommand,
    NothingCommand,
    AnimeInitCommand,
    AnimeSetCommand,
    AnimeControlCommand,
    AnimeLoadCommand,
    QuakeCommand,
    EffectCommand,
    SeLoadCommand,
    SePlayCommand,
    SeStopCommand,
    SeVolumeCommand,
    SeFadeOutCommand,
    BgmPlayCommand,
    BgmStopCommand,
    LoadCommand,
    JumpCommand,
    QuitToOpCommand,
    CallTownmapCommand,
    SetEpisodeNoCommand,
    MovieLoadCommand,
    MovieControlCommand,
    IfSeenCommand,
    CgQuitCommand,
};
static_assert(std::size(kHandlers) == static_cast<size_t>(CommandId::kCount));

}  // namespace

std::optional<int32_t> CADV::ResolveValue(std::string_view token) {
  if (token.find('$') == std::string_view::npos) {
    if (!IsDecimalDigits(token)) {
      LogScript(script, 2, T().not_digit);
      return std::nullopt;
    }
    return DecimalValue(token);
  }
  const VariableRef ref = ParseVariableRef(token);
  if (ref.error != VariableError::kNone) {
    ReportVariableError(script, ref);
    return std::nullopt;
  }
  return *VariableSlot(*this, ref);
}

void CADV::RecordReadPosition() {
  read_positions.RecordReadPosition(script.GetName(), script.GetPosition());
}

void CADV::StartSettle() {
  script_state.settle = true;
  script_state.settle_count = 5;
}

void CADV::ScriptStep() {
  ScriptState& st = script_state;
  if (st.screen_effect_running && EffectHoldsScript(st.screen_effect_kind)) return;
  st.step_work = 0;
  LogReporter report(script);
  for (;;) {
    const int32_t before = script.GetPosition();
    const std::string t = script.NextToken();
    bool go_on = true;
    if (t == "EOF") {
      EndOfScript(*this);
      return;
    }
    if (t == "}else{" && st.if_stack.Depth() > 0) {
      ElseStatement(*this);
    } else if (t == "}" && st.if_stack.Depth() > 0) {
      st.if_stack.Pop();  // the end of an if- or else-body that ran
    } else if (t.starts_with("if(")) {
      go_on = IfStatement(*this);
    } else if (t.find('$') != std::string::npos) {
      go_on = VariableStatement(*this, t);
    } else {
      if (clickable.active && t != "]") st.skip_mode = false;
      if (IsSeparator(t)) {
        // a statement separator
      } else if (const CommandSpec* spec = FindCommand(t, clickable.active)) {
        CommandArgs args;
        args.spec = spec;
        args.command = t;
        args.line = script.GetLine();
        args.position = script.GetPosition() - 1;
        if (!ReadCommandArgs(*spec, script, report, args)) {
          go_on = !spec->yields;  // the command does nothing
        } else {
          const CommandHandler run = kHandlers[static_cast<size_t>(spec->id)];
          go_on = run(*this, args) == CommandFlow::kAsTable && !spec->yields;
        }
      } else if (!IsLabel(t)) {
        LogScript(script, 2, ScriptFormat(T().unknown.c_str(), t.c_str()));
      }
    }
    if (!go_on) return;
    const int32_t after = script.GetPosition();
    st.step_work += 1 + (after > before ? after - before : before - after);
    if (st.step_work > kStepWorkLimit) {
      if (!st.step_cut_logged)
        LogScript(script, 2,
                  "the script ran this frame's whole budget without a yielding command (a loop?); "
                  "the step ends here and goes on in the next frame");
      st.step_cut_logged = true;
      return;
    }
  }
}
