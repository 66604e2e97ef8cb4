// The argument readers of the command table: the simple forms field by field, and the brace
// blocks of the text, name-table and choice commands.
#include "script/commands.h"

#include "resource/sjis_text.h"
#include "script/script.h"
#include "script/variables.h"

namespace {

// The end of the script, as opposed to a token spelled EOF: at the end the position stays past
// the last token.
bool AtEnd(const CScript& script, std::string_view token) {
  return token == "EOF" && script.GetPosition() > script.TokenCount();
}

bool IsSeparator(std::string_view t) {
  return t == "\n" || t == "\r" || t.empty();
}

bool IsNumberKind(ArgKind k) {
  return k == ArgKind::kNumber || k == ArgKind::kInt;
}

// Reads up to the "{" that opens a block. Stray tokens before it are reported and skipped.
bool FindOpenBrace(CScript& script, ScriptReporter& report, std::string_view command) {
  for (;;) {
    const std::string t = script.NextToken();
    if (t == "{") return true;
    if (AtEnd(script, t)) {
      report.Report(ScriptProblem::kNoOpenBrace, command, {});
      return false;
    }
    if (!IsSeparator(t)) report.Report(ScriptProblem::kBadArgument, command, t);
  }
}

template <size_t N>
int Select(std::string_view text, const std::array<std::string_view, N>& words) {
  for (size_t i = 0; i < N; ++i)
    if (text == words[i]) return static_cast<int>(i);
  return -1;
}

// strtol(text, nullptr, 16) kept to its low 16 bits, as a 16-bit colour field stores it.
uint16_t HexValue(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) i += 2;
  uint32_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      break;
    }
    v = v < 0x10000000u ? v * 16 + static_cast<uint32_t>(d) : 0x7FFFFFFFu;
  }
  if (negative) v = 0u - v;
  return static_cast<uint16_t>(v);
}

}  // namespace

bool ParseArgField(const ArgField& field, std::string_view text, int32_t& number) {
  static constexpr std::array<std::string_view, 3> kSlots = {"A", "B", "C"};
  static constexpr std::array<std::string_view, 7> kGroups = {"A",  "B",  "C",  "AB",
                                                              "BC", "AC", "ABC"};
  static constexpr std::array<std::string_view, 2> kHideShow = {"hide", "show"};
  static constexpr std::array<std::string_view, 2> kOffOn = {"off", "on"};
  static constexpr std::array<std::string_view, 4> kScroll = {"up", "down", "left", "right"};
  static constexpr std::array<std::string_view, 4> kSlide = {"top", "bottom", "left", "right"};
  static constexpr std::array<std::string_view, 2> kQuake = {"ver", "hor"};
  number = 0;
  switch (field.kind) {
    case ArgKind::kNumber: number = AtoiValue(text); return true;
    case ArgKind::kInt: {
      std::string_view digits = text;
      if (digits.starts_with('-')) digits.remove_prefix(1);
      if (digits.empty() || !IsDecimalDigits(digits)) return false;
      number = AtoiValue(text);
      return true;
    }
    case ArgKind::kName: return !IsSeparator(text) && text.find('\n') == std::string_view::npos;
    case ArgKind::kSlot: number = Select(text, kSlots); break;
    case ArgKind::kSlotGroup: number = Select(text, kGroups); break;
    case ArgKind::kShowHide: number = Select(text, kHideShow); break;
    case ArgKind::kOnOff: number = Select(text, kOffOn); break;
    case ArgKind::kScrollDirection: number = Select(text, kScroll); break;
    case ArgKind::kSlideDirection: number = Select(text, kSlide); break;
    case ArgKind::kQuakeDirection: number = Select(text, kQuake); break;
    case ArgKind::kAny: return true;
  }
  return number >= 0;
}

bool ReadCommandArgs(const CommandSpec& spec, CScript& script, ScriptReporter& report,
                     CommandArgs& args) {
  if (spec.form != ArgForm::kToken && spec.form != ArgForm::kCommaList) return true;
  args.argument = script.NextToken();
  const ScriptProblem malformed = spec.message == ArgMessage::kAnimeSet
                                      ? ScriptProblem::kAnimeSetForm
                                      : ScriptProblem::kBadArgument;
  if (AtEnd(script, args.argument)) {
    report.Report(malformed, args.command, {});
    return false;
  }
  std::string_view rest = args.argument;
  for (int i = 0; i < spec.field_count; ++i) {
    const ArgField& f = spec.fields[static_cast<size_t>(i)];
    const bool last = i + 1 == spec.field_count;
    std::string_view part;
    if (spec.form == ArgForm::kToken || (last && f.kind == ArgKind::kName)) {
      part = rest;
    } else {
      const size_t comma = rest.find(',');
      if (last ? comma != std::string_view::npos : comma == std::string_view::npos) {
        report.Report(malformed, args.command, args.argument);
        return false;
      }
      part = last ? rest : rest.substr(0, comma);
      if (!last) rest.remove_prefix(comma + 1);
    }
    int32_t& value = args.number[static_cast<size_t>(i)];
    if (!ParseArgField(f, part, value)) {
      report.Report(malformed, args.command, args.argument);
      return false;
    }
    if (f.kind == ArgKind::kName) args.text[static_cast<size_t>(i)] = part;
    if (IsNumberKind(f.kind) && (value < f.min || value > f.max)) {
      report.Report(ScriptProblem::kBadNumber, args.command, args.argument);
      return false;
    }
  }
  return true;
}

bool ReadDefText(CScript& script, ScriptReporter& report, CharNameTable& out) {
  static constexpr std::string_view kCommand = "@def_text";
  out = CharNameTable{};
  if (!FindOpenBrace(script, report, kCommand)) return false;
  std::array<std::string, 4> entry;
  size_t have = 0;
  for (;;) {
    std::string t = script.NextToken();
    if (AtEnd(script, t)) {
      report.Report(ScriptProblem::kNoCloseBrace, kCommand, {});
      return false;
    }
    if (t == "}") break;
    if (t == "\n") continue;
    entry[have++] = std::move(t);
    if (have < entry.size()) continue;
    have = 0;
    int32_t index = AtoiValue(entry[0]);
    if (index < 0 || index >= kCharNameCount) {
      report.Report(ScriptProblem::kNameNumber, kCommand, entry[0]);
      index = 0;
    }
    CharNameEntry& e = out[static_cast<size_t>(index)];
    const std::string& name = entry[1];
    if (name.size() > kCharNameBytes) {
      report.Report(ScriptProblem::kNameTooLong, kCommand, name);
      e.name = sjis::Cut(name, kCharNameBytes);
    } else {
      e.name = name;
    }
    e.colour = HexValue(entry[2]);
    e.plate = entry[3] == "on" || entry[3] == "ON" || entry[3] == "On";
  }
  if (have != 0) report.Report(ScriptProblem::kBadArgument, kCommand, entry[0]);
  return true;
}

bool ReadTextPage(std::string_view token, CScript& script, ScriptReporter& report, TextPage& out) {
  static constexpr std::string_view kCommand = "@text";
  out = TextPage{};
  out.position = script.GetPosition() - 1;
  const size_t at = token.find("@text,");
  std::string_view rest = at == std::string_view::npos ? std::string_view{} : token.substr(at + 6);
  const size_t comma = rest.find(',');
  const std::string_view number = rest.substr(0, comma);
  out.name_number = AtoiValue(number);
  if (out.name_number < 0 || out.name_number >= kCharNameCount) {
    report.Report(ScriptProblem::kNameNumber, kCommand, number);
    out.name_number = 0;
  }
  int voices = 0;
  std::string_view list =
      comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
  while (!list.empty()) {
    const size_t end = list.find(',');
    const std::string_view voice = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
    if (voice.empty()) continue;  // "@text,1,,v" names no voice between the commas
    out.voices[static_cast<size_t>(voices % kVoiceQueueSize)] = voice;
    ++voices;
  }
  out.voice_count = voices < kVoiceQueueSize ? voices : kVoiceQueueSize;

  if (!FindOpenBrace(script, report, kCommand)) return false;
  for (;;) {
    std::string t = script.NextToken();
    if (AtEnd(script, t)) {
      report.Report(ScriptProblem::kNoCloseBrace, kCommand, {});
      return false;
    }
    if (t == "}" || t == "},nowait") {
      out.nowait = t != "}";
      return true;
    }
    if (t == "\n") continue;
    if (out.line_count == kTextLineCount) {
      report.Report(ScriptProblem::kTooManyLines, kCommand, t);
      continue;
    }
    if (sjis::CharCount(t) > kTextLineChars) report.Report(ScriptProblem::kLineTooLong, kCommand, t);
    out.lines[static_cast<size_t>(out.line_count++)] = std::move(t);
  }
}

bool ReadSelect(CScript& script, ScriptReporter& report, ChoiceList& out) {
  static constexpr std::string_view kCommand = "@select";
  out = ChoiceList{};
  if (!FindOpenBrace(script, report, kCommand)) return false;
  bool reported_extra = false;
  for (;;) {
    const std::string t = script.NextToken();
    if (AtEnd(script, t)) {
      report.Report(ScriptProblem::kNoCloseBrace, kCommand, {});
      return false;
    }
    if (t == "}") return true;
    if (IsSeparator(t)) continue;
    const size_t comma = t.find(',');
    if (comma == std::string::npos) {  // not a choice; ignored
      report.Report(ScriptProblem::kBadArgument, kCommand, t);
      continue;
    }
    if (out.count == kMaxChoices) {
      if (!reported_extra) report.Report(ScriptProblem::kTooManyChoices, kCommand, t);
      reported_extra = true;
      continue;
    }
    Choice& c = out.items[static_cast<size_t>(out.count++)];
    c.text = t.substr(0, comma);
    c.target = t.substr(comma + 1);
    c.position = script.GetPosition() - 1;
  }
}

bool ReadBattleSelect(CScript& script, ScriptReporter& report, ChoiceList& out) {
  static constexpr std::string_view kCommand = "@battle_select";
  out = ChoiceList{};
  if (!FindOpenBrace(script, report, kCommand)) return false;
  bool reported_extra = false;
  for (;;) {
    const std::string t = script.NextToken();
    if (AtEnd(script, t)) {
      report.Report(ScriptProblem::kNoCloseBrace, kCommand, {});
      return false;
    }
    if (const size_t close = t.find("},"); close != std::string::npos) {
      const std::string_view tail = std::string_view(t).substr(close + 2);
      const size_t comma = tail.find(',');
      if (comma == std::string_view::npos) report.Report(ScriptProblem::kBadArgument, kCommand, t);
      const int64_t ms = int64_t{AtoiValue(tail)} * 1000;
      out.limit_ms = ms < 0 ? 0 : ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
      if (comma != std::string_view::npos) out.timeout_target = tail.substr(comma + 1);
      out.timeout_position = script.GetPosition() - 1;
      return true;
    }
    if (IsSeparator(t)) continue;
    const size_t first = t.find(',');
    const size_t second = first == std::string::npos ? first : t.find(',', first + 1);
    if (second == std::string::npos) {
      report.Report(ScriptProblem::kBadArgument, kCommand, t);
      continue;
    }
    if (out.count == kMaxChoices) {
      if (!reported_extra) report.Report(ScriptProblem::kTooManyChoices, kCommand, t);
      reported_extra = true;
      continue;
    }
    Choice& c = out.items[static_cast<size_t>(out.count++)];
    c.text = t.substr(0, first);
    c.target = t.substr(first + 1, second - first - 1);
    c.requirement = AtoiValue(std::string_view(t).substr(second + 1));
    c.position = script.GetPosition() - 1;
  }
}
