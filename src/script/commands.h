// The script commands as data: for each command its name, how its arguments are written and
// checked, whether the interpreter's step returns after it, and the id of the engine operation
// that runs it. The table and its look-up (CommandTable, FindCommand) belong to this library;
// the engine maps the ids to its handlers, and the script checker walks the same table with the
// same readers, so the two can never disagree about what a command accepts.
//
// Script library: uses platform, resource and save; never includes an engine header.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CScript;

// How one argument value is written.
enum class ArgKind : uint8_t {
  kNumber,  // a number read as atoi reads it: any token is accepted
  kInt,  // decimal digits with an optional "-", nothing else
  kName,  // a non-empty name (a file, a script, a label reference, a picture)
  kSlot,  // "A", "B", "C" -> 0-2
  kSlotGroup,  // "A", "B", "C" -> 0-2, "AB" 3, "BC" 4, "AC" 5, "ABC" 6
  kShowHide,  // "show" 1, "hide" 0
  kOnOff,  // "on" 1, "off" 0
  kScrollDirection,  // "up", "down", "left", "right" -> ScrollDirection
  kSlideDirection,  // "top", "bottom", "left", "right" -> SlideDirection
  kQuakeDirection,  // "ver" 0, "hor" 1
  kAny,  // any token, taken and ignored
};

enum ScrollDirection : int32_t { SCROLL_UP, SCROLL_DOWN, SCROLL_LEFT, SCROLL_RIGHT };
enum SlideDirection : int32_t { SLIDE_TOP, SLIDE_BOTTOM, SLIDE_LEFT, SLIDE_RIGHT };
// Slot groups of the character commands: the three slots, then the pairs and all three.
enum SlotGroup : int32_t { GROUP_A, GROUP_B, GROUP_C, GROUP_AB, GROUP_BC, GROUP_AC, GROUP_ABC };
enum RasterTarget : int32_t { RASTER_BACKGROUND, RASTER_CHARACTERS, RASTER_BOTH };
// "@textwindow_fast", "@textwindow_fx1", "@textwindow_fx2", "@textwindow".
enum TextWindowKind : int32_t { TEXTWINDOW_FAST, TEXTWINDOW_FX1, TEXTWINDOW_FX2, TEXTWINDOW_FADE };

// What a name argument refers to, for the checker: where the file must exist.
enum class FileKind : uint8_t {
  kNone,
  kBackground,  // "BG\" + name in grp.pkd (in system.pkd when the name contains "SYSTEM")
  kCharacter,  // "CHR\" + name in grp.pkd
  kGlyphs,  // "textbox\" + name in system.pkd
  kSoundEffect,  // "SOUND\SE\" + name on disk
  kMusic,  // "SOUND\BGM\" + name on disk
  kMovie,  // "MOVIE\HIGH\" + name and "MOVIE\LOW\" + name on disk
  kScript,  // "SCP\" + name (".scp" added when missing) in system.pkd
  kLabel,  // a label reference in the same script
};

struct ArgField {
  ArgKind kind = ArgKind::kAny;
  int32_t min = INT32_MIN;  // numbers outside [min, max] are the range error
  int32_t max = INT32_MAX;
  FileKind file = FileKind::kNone;
};

// How a command's arguments are laid out in the token stream.
enum class ArgForm : uint8_t {
  kNone,  // no argument
  kToken,  // one token holding the one field
  kCommaList,  // one token holding the fields separated by commas (a last name field takes
               // the rest of the token, commas and all)
  kTextPage,  // "@text,N[,voice...]" in the command token itself, then a brace block
  kDefText,  // a brace block of index, name, colour, flag entries
  kSelect,  // a brace block of text,target tokens
  kBattleSelect,  // a brace block of text,target,requirement tokens closed by "},seconds,target"
};

// Which message a malformed argument gets.
enum class ArgMessage : uint8_t { kStandard, kAnimeSet };

// What the handler asks of the step: follow the table's yields, or return now whatever the
// table says (a block command that lost its braces).
enum class CommandFlow : uint8_t { kAsTable, kYield };

// The operation a command runs: the engine keeps one handler per id.
enum class CommandId : uint8_t {
  kRollback,
  kEndingStart,
  kScopeEnd,
  kExit,
  kTextWindow,
  kTextCls,
  kDefText,
  kFontLoad,
  kText,
  kCharNameWindow,
  kTextClear,
  kOmoideFlagSet,
  kKeyWait,
  kWait,
  kSelect,
  kBattleSelect,
  kBgLoad,
  kBgChange,
  kBgScroll,
  kBgSync,
  kBgWipe3,
  kRaster,
  kChrLoad,
  kChrChange,
  kChrSlideIn,
  kChrSlideOut,
  kChrTurn,
  kChrMove,
  kChrSetPos,
  kChrShowHide,
  kChrFade,
  kChrSwap,
  kChrShadow,
  kNothing,
  kAnimeInit,
  kAnimeSet,
  kAnimeControl,
  kAnimeLoad,
  kQuake,
  kEffect,
  kSeLoad,
  kSePlay,
  kSeStop,
  kSeVolume,
  kSeFadeOut,
  kBgmPlay,
  kBgmStop,
  kLoad,
  kJump,
  kQuitToOp,
  kCallTownmap,
  kSetEpisodeNo,
  kMovieLoad,
  kMovieControl,
  kIfSeen,
  kCgQuit,
  kCount
};

struct CommandSpec {
  std::string_view name;
  bool yields = false;
  CommandId id = CommandId::kNothing;
  ArgForm form = ArgForm::kNone;
  std::array<ArgField, 4> fields{};
  uint8_t field_count = 0;
  int32_t code = 0;  // handed to the handler (which effect, which slot, ...)
  bool anywhere = false;  // found anywhere in its token ("@text,")
  bool clickable_only = false;  // only while a clickable scope is open ("]")
  ArgMessage message = ArgMessage::kStandard;
};

// The parsed arguments of one command.
struct CommandArgs {
  const CommandSpec* spec = nullptr;
  std::string command;  // the command token as read
  std::string argument;  // the argument token of the simple forms (for messages)
  int32_t line = 0;  // the script's current line when the command was read
  int32_t position = 0;  // the token position of the command token
  std::array<int32_t, 4> number{};
  std::array<std::string, 4> text;
};

// The problems the readers find. The engine logs the ones its scripts have always been told
// about; the checker reports all of them.
enum class ScriptProblem : uint8_t {
  kBadArgument,  // a missing or malformed argument
  kBadNumber,  // a number outside its range
  kAnimeSetForm,  // "@anime_set" with a malformed argument
  kNoOpenBrace,  // a block command reached the end of the script before "{"
  kNoCloseBrace,  // ... before its closing "}"
  kNameNumber,  // a character-name number outside 0-127 (0 is used)
  kTooManyLines,  // a fourth text line (dropped)
  kTooManyChoices,  // a fifth choice (dropped)
  kNameTooLong,  // a character name over 15 bytes (cut)
  kLineTooLong,  // a text line over 30 characters (the text box shows its overflow mark)
};

class ScriptReporter {
 public:
  virtual ~ScriptReporter() = default;
  // `command` is the command token; `detail` the argument token or the offending text.
  virtual void Report(ScriptProblem problem, std::string_view command, std::string_view detail) = 0;
};

inline constexpr int kCharNameCount = 128;
inline constexpr size_t kCharNameBytes = 15;  // a 16-byte field with its NUL
inline constexpr int kVoiceQueueSize = 16;
inline constexpr int kTextLineCount = 3;
inline constexpr int kTextLineChars = 30;
inline constexpr int kMaxChoices = 4;

struct CharNameEntry {
  std::string name;
  uint16_t colour = 0xFFFF;  // A4R4G4B4
  bool plate = false;
};
using CharNameTable = std::array<CharNameEntry, kCharNameCount>;

struct TextPage {
  int32_t position = 0;  // token position of the text command
  int32_t name_number = 0;
  std::array<std::string, kVoiceQueueSize> voices;
  int voice_count = 0;  // voices stored (at most 16; a seventeenth overwrites the first)
  std::array<std::string, kTextLineCount> lines;
  int line_count = 0;
  bool nowait = false;
};

struct Choice {
  std::string text;
  std::string target;
  int32_t requirement = 0;  // timed choices only
  int32_t position = 0;  // token position of the choice's token
};
struct ChoiceList {
  std::array<Choice, kMaxChoices> items;
  int count = 0;
  int32_t limit_ms = 0;  // timed choices only
  std::string timeout_target;
  int32_t timeout_position = 0;  // token position of the closing "},seconds,target"
};

// The table, in the order the interpreter compares names.
std::span<const CommandSpec> CommandTable();
// The command a token names, or nullptr. "]" only counts while a clickable scope is open.
const CommandSpec* FindCommand(std::string_view token, bool clickable_active);

// Reads and checks the arguments of a command of the simple forms (none, one token, a comma
// list); the command token has been read. False, with the problem reported, when they are
// malformed or out of range.
bool ReadCommandArgs(const CommandSpec& spec, CScript& script, ScriptReporter& report,
                     CommandArgs& args);
// Parses one field from its text; false when it is malformed (not a range check).
bool ParseArgField(const ArgField& field, std::string_view text, int32_t& number);

// The block readers. Each returns false when the script ended before its braces were complete
// (the command then shows nothing and the step returns); what was read is still in `out`.
bool ReadDefText(CScript& script, ScriptReporter& report, CharNameTable& out);
bool ReadTextPage(std::string_view command_token, CScript& script, ScriptReporter& report,
                  TextPage& out);
bool ReadSelect(CScript& script, ScriptReporter& report, ChoiceList& out);
bool ReadBattleSelect(CScript& script, ScriptReporter& report, ChoiceList& out);
