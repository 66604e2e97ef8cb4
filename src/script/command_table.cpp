// The command table: every script command's name, argument form, whether the step returns after
// it, and the id of the operation that runs it. The interpreter maps the ids to the engine's
// handlers; the script checker reads the same rows with the same argument readers.
#include <initializer_list>

#include "script/commands.h"
#include "script/story.h"

namespace {

constexpr bool kYields = true;
constexpr bool kContinues = false;

constexpr ArgField Num() {
  return {ArgKind::kNumber};
}
constexpr ArgField Int(int32_t min = INT32_MIN, int32_t max = INT32_MAX) {
  return {ArgKind::kInt, min, max};
}
constexpr ArgField Speed() {
  return Int(1);
}  // a divisor of the owner: 0 or less is refused
constexpr ArgField SeSlot() {
  return Int(0, 7);
}
constexpr ArgField StandardPosition() {
  return Int(0, 4);
}
constexpr ArgField Name(FileKind file = FileKind::kNone) {
  return {ArgKind::kName, INT32_MIN, INT32_MAX, file};
}
constexpr ArgField Kind(ArgKind k) {
  return {k};
}

constexpr CommandSpec Cmd(std::string_view name, bool yields, CommandId id,
                          int32_t code = 0) {
  CommandSpec s;
  s.name = name;
  s.yields = yields;
  s.id = id;
  s.code = code;
  return s;
}
constexpr CommandSpec Cmd(std::string_view name, bool yields, CommandId id, ArgForm form,
                          std::initializer_list<ArgField> fields, int32_t code = 0) {
  CommandSpec s = Cmd(name, yields, id, code);
  s.form = form;
  for (const ArgField& f : fields) s.fields[s.field_count++] = f;
  return s;
}
constexpr CommandSpec Token(std::string_view name, bool yields, CommandId id, ArgField f,
                            int32_t code = 0) {
  return Cmd(name, yields, id, ArgForm::kToken, {f}, code);
}
constexpr CommandSpec List(std::string_view name, bool yields, CommandId id,
                           std::initializer_list<ArgField> fields, int32_t code = 0) {
  return Cmd(name, yields, id, ArgForm::kCommaList, fields, code);
}
constexpr CommandSpec With(CommandSpec s, bool anywhere, bool clickable_only, ArgMessage m) {
  s.anywhere = anywhere;
  s.clickable_only = clickable_only;
  s.message = m;
  return s;
}

const ArgField kShowHide = Kind(ArgKind::kShowHide);
const ArgField kSlot = Kind(ArgKind::kSlot);
const ArgField kGroup = Kind(ArgKind::kSlotGroup);
const ArgField kSlide = Kind(ArgKind::kSlideDirection);

// In the order the interpreter compares names (only "@text," could match more than one way).
const CommandSpec kCommands[] = {
    Cmd("@rollback_off", kContinues, CommandId::kRollback, 0),
    Cmd("@rollback_on", kContinues, CommandId::kRollback, 1),
    Cmd("@ending_start", kYields, CommandId::kEndingStart),
    With(Cmd("]", kYields, CommandId::kScopeEnd), false, true, ArgMessage::kStandard),
    Cmd("@exit", kYields, CommandId::kExit),
    Token("@textwindow_fast", kYields, CommandId::kTextWindow, kShowHide, TEXTWINDOW_FAST),
    Token("@textwindow_fx1", kYields, CommandId::kTextWindow, kShowHide, TEXTWINDOW_FX1),
    Token("@textwindow_fx2", kYields, CommandId::kTextWindow, kShowHide, TEXTWINDOW_FX2),
    Token("@textwindow", kYields, CommandId::kTextWindow, kShowHide, TEXTWINDOW_FADE),
    Cmd("@text_cls", kYields, CommandId::kTextCls),
    Cmd("@def_text", kContinues, CommandId::kDefText, ArgForm::kDefText, {}),
    Token("@font_load", kYields, CommandId::kFontLoad, Name(FileKind::kGlyphs)),
    With(Cmd("@text,", kYields, CommandId::kText, ArgForm::kTextPage, {}), true, false,
         ArgMessage::kStandard),
    Token("@charname_window", kYields, CommandId::kCharNameWindow, kShowHide),
    Cmd("@text_clear", kYields, CommandId::kTextClear),
    Token("@OMOIDE_FLAG_SET", kContinues, CommandId::kOmoideFlagSet, Num()),
    Cmd("@keywait", kYields, CommandId::kKeyWait),
    Token("@wait", kYields, CommandId::kWait, Num()),
    Cmd("@select", kYields, CommandId::kSelect, ArgForm::kSelect, {}),
    Cmd("@battle_select", kYields, CommandId::kBattleSelect, ArgForm::kBattleSelect, {}),
    Token("@bg_load", kYields, CommandId::kBgLoad, Name(FileKind::kBackground)),
    Token("@bg_change", kYields, CommandId::kBgChange, Num()),
    List("@bg_scroll", kYields, CommandId::kBgScroll, {Kind(ArgKind::kScrollDirection), Int()}),
    Cmd("@bg_sync", kYields, CommandId::kBgSync),
    Token("@bg_wipe3", kYields, CommandId::kBgWipe3, Num()),
    List("@bg_raster", kYields, CommandId::kRaster, {Int(), Int(), Int(), Int()}, RASTER_BACKGROUND),
    List("@chr_raster", kYields, CommandId::kRaster, {Int(), Int(), Int(), Int()}, RASTER_CHARACTERS),
    List("@all_raster", kYields, CommandId::kRaster, {Int(), Int(), Int(), Int()}, RASTER_BOTH),
    List("@chr_load", kYields, CommandId::kChrLoad, {kSlot, Name(FileKind::kCharacter)}),
    List("@chr_change", kYields, CommandId::kChrChange, {kSlot, Int()}),
    List("@chr_slide_in", kYields, CommandId::kChrSlideIn, {kSlot, StandardPosition(), Speed(), kSlide}),
    List("@chr_slide_out", kYields, CommandId::kChrSlideOut, {kSlot, Speed(), kSlide}),
    List("@chr_turn", kYields, CommandId::kChrTurn, {kGroup, Int(1)}),
    List("@chr_move", kYields, CommandId::kChrMove, {kSlot, StandardPosition(), Speed()}),
    List("@chr_setpos", kContinues, CommandId::kChrSetPos, {kSlot, StandardPosition()}),
    Token("@chr_show", kContinues, CommandId::kChrShowHide, kSlot, 1),
    Token("@chr_hide", kContinues, CommandId::kChrShowHide, kSlot, 0),
    List("@chr_fade_in", kYields, CommandId::kChrFade, {kGroup, Int()}, 1),
    List("@chr_fade_out", kYields, CommandId::kChrFade, {kGroup, Int()}, 0),
    Token("@chr_swap_screen", kContinues, CommandId::kChrSwap, kSlot),
    List("@chr_shadow", kContinues, CommandId::kChrShadow, {kSlot, Kind(ArgKind::kOnOff)}),
    Token("@shadow", kContinues, CommandId::kNothing, Kind(ArgKind::kAny)),
    Cmd("@anime_init", kYields, CommandId::kAnimeInit),
    With(List("@anime_set", kContinues, CommandId::kAnimeSet, {Int(), Int(), Int()}), false, false,
         ArgMessage::kAnimeSet),
    Cmd("@anime_start", kYields, CommandId::kAnimeControl, 0),
    Cmd("@anime_pause", kYields, CommandId::kAnimeControl, 1),
    Cmd("@anime_play", kYields, CommandId::kAnimeControl, 2),
    Cmd("@anime_stop", kYields, CommandId::kAnimeControl, 3),
    List("@anime_load", kYields, CommandId::kAnimeLoad, {Int(0, 3), Name(FileKind::kCharacter)}),
    List("@effect_quake", kYields, CommandId::kQuake, {Kind(ArgKind::kQuakeDirection), Int()}),
    Token("@effect_white_out", kYields, CommandId::kEffect, Num(), EFFECT_WHITE_OUT),
    Token("@effect_white_in", kYields, CommandId::kEffect, Num(), EFFECT_WHITE_IN),
    Token("@effect_black_out", kYields, CommandId::kEffect, Num(), EFFECT_BLACK_OUT),
    Token("@effect_black_in", kYields, CommandId::kEffect, Num(), EFFECT_BLACK_IN),
    Token("@effect_wipe3_out", kYields, CommandId::kEffect, Num(), EFFECT_WIPE3_OUT),
    Token("@effect_wipe3_in", kYields, CommandId::kEffect, Num(), EFFECT_WIPE3_IN),
    Token("@effect_page_out", kYields, CommandId::kEffect, Num(), EFFECT_PAGE_OUT),
    Token("@effect_page_in", kYields, CommandId::kEffect, Num(), EFFECT_PAGE_IN),
    List("@se_load", kYields, CommandId::kSeLoad, {SeSlot(), Name(FileKind::kSoundEffect)}),
    Token("@se_play", kContinues, CommandId::kSePlay, SeSlot(), 0),
    Token("@se_loop", kContinues, CommandId::kSePlay, SeSlot(), 1),
    Token("@se_stop", kContinues, CommandId::kSeStop, SeSlot()),
    List("@se_volume", kContinues, CommandId::kSeVolume, {SeSlot(), Int()}),
    List("@se_fade_out", kContinues, CommandId::kSeFadeOut, {SeSlot(), Int(0, 2)}),
    Token("@bgm_play", kYields, CommandId::kBgmPlay, Name(FileKind::kMusic)),
    Token("@bgm_stop", kContinues, CommandId::kBgmStop, Num()),
    Token("@load", kYields, CommandId::kLoad, Name(FileKind::kScript)),
    Token("@jump", kContinues, CommandId::kJump, Name(FileKind::kLabel)),
    Cmd("@QUIT_TO_OP", kYields, CommandId::kQuitToOp),
    Cmd("@CALL_TOWNMAP", kYields, CommandId::kCallTownmap),
    Token("@SET_EPISODENO", kYields, CommandId::kSetEpisodeNo, Num()),
    Token("@movie_load", kYields, CommandId::kMovieLoad, Name(FileKind::kMovie)),
    Cmd("@movie_play", kYields, CommandId::kMovieControl, 1),
    Cmd("@movie_stop", kYields, CommandId::kMovieControl, 0),
    Token("#if", kContinues, CommandId::kIfSeen, Name()),
    Cmd("#endif", kContinues, CommandId::kNothing),
    Cmd("#cg_quit", kYields, CommandId::kCgQuit),
};

}  // namespace

std::span<const CommandSpec> CommandTable() {
  return kCommands;
}

const CommandSpec* FindCommand(std::string_view token, bool clickable_active) {
  for (const CommandSpec& c : kCommands) {
    if (c.anywhere ? token.find(c.name) != std::string_view::npos : token == c.name) {
      if (c.clickable_only && !clickable_active) continue;
      return &c;
    }
  }
  return nullptr;
}
