// scpcheck: checks every script of a game without running it, for the people who write them.
// It reads the scripts with the engine's own tokeniser and checks each statement against the
// engine's own command table with the engine's own argument readers, so what it accepts is what
// the game accepts.
//
//   scpcheck GAME_FOLDER     the folder with system.pkd, grp.pkd and the SOUND and MOVIE folders
//   scpcheck ARCHIVE.pkd     the scripts of one archive (the folder around it for the rest)
//
// Every "SCP\*.scp" entry of the system archive is checked for: unknown commands, malformed
// arguments and conditions, "@jump" and choice targets with no label, "@load" and choice scripts
// missing from system.pkd, pictures missing from their archive, sound and movie files missing on
// disk, unbalanced braces, "#if" without "#endif", text lines over 30 characters, names over 15
// bytes, and (a warning) a backward jump whose loop holds no yielding command and no if, which
// would run forever. Each finding is printed as "FILE:LINE: message" (UTF-8) on stdout.
//
// Exit codes: 0 nothing found, 1 findings, 2 wrong usage or no system archive to read.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/pack_file.h"
#include "script/commands.h"
#include "script/script.h"
#include "script/variables.h"

namespace {

namespace stdfs = std::filesystem;

constexpr int kClean = 0;
constexpr int kFound = 1;
constexpr int kUsage = 2;

std::string Utf8(std::string_view sjis) {
  return platform::SjisToUtf8(sjis);
}

bool IsSeparator(std::string_view t) {
  return t == "\n" || t == "\r" || t.empty();
}
bool IsLabel(std::string_view t) {
  return t.size() > 1 && t.back() == ':';
}
bool AtEnd(const CScript& s, std::string_view t) {
  return t == "EOF" && s.GetPosition() > s.TokenCount();
}
// A clickable scope's block header ("A0[") or its end.
bool IsScopeToken(std::string_view t) {
  if (t == "]") return true;
  if (t.size() < 3 || t[0] < 'A' || t[0] > 'G' || t.back() != '[') return false;
  return IsDecimalDigits(t.substr(1, t.size() - 2));
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

struct Game {
  CPackFile system;
  CPackFile grp;
  bool have_grp = false;
};

class ScriptChecker final : public ScriptReporter {
 public:
  ScriptChecker(const Game& game, CScript& script, std::string file)
      : game_(game), s_(script), file_(std::move(file)) {}

  int Run();

  void Report(ScriptProblem problem, std::string_view command, std::string_view detail) override {
    const std::string c = Utf8(command), d = IsSeparator(detail) ? "" : Utf8(detail);
    switch (problem) {
      case ScriptProblem::kBadArgument:
      case ScriptProblem::kAnimeSetForm: Find("bad argument: '" + c + " " + d + "'"); break;
      case ScriptProblem::kBadNumber: Find("number out of range: '" + c + " " + d + "'"); break;
      case ScriptProblem::kNoOpenBrace: Find(c + ": no '{' before the end of the script"); break;
      case ScriptProblem::kNoCloseBrace:
        Find(c + ": no closing '}' before the end of the script");
        break;
      case ScriptProblem::kNameNumber:
        Find(c + ": character name number " + d + " is outside 0-127");
        break;
      case ScriptProblem::kTooManyLines: Find(c + ": a page has at most 3 lines: " + d); break;
      case ScriptProblem::kTooManyChoices: Find(c + ": more than 4 choices: " + d); break;
      case ScriptProblem::kNameTooLong: Find(c + ": name over 15 bytes: " + d); break;
      case ScriptProblem::kLineTooLong: Find(c + ": line over 30 characters: " + d); break;
    }
  }

 private:
  struct Jump {
    int32_t position;  // of the "@jump" token
    std::string reference;
    int line;
  };

  int LineAt(int32_t i) const {
    const int32_t last = s_.TokenCount() - 1;
    return s_.TokenLine(std::clamp(i, 0, last < 0 ? 0 : last));
  }
  // The line of the token read last.
  int Line() const { return LineAt(s_.GetPosition() - 1); }
  void Find(const std::string& message) { FindAt(Line(), message); }
  void FindAt(int line, const std::string& message) {
    std::printf("%s:%d: %s\n", file_.c_str(), line, message.c_str());
    ++findings_;
  }

  void Condition();
  void Variable(const std::string& token);
  void Command(const CommandSpec& spec, const std::string& token);
  void CheckFile(FileKind kind, const std::string& name);
  void CheckTarget(const std::string& target, int line);
  bool HasLabel(std::string_view reference) const {
    return reference.size() > 1 && labels_.count(std::string(reference.substr(1)) + ":") > 0;
  }
  bool ScriptExists(const std::string& path) const { return game_.system.EntrySize(path) > 0; }
  void CheckLoops();

  const Game& game_;
  CScript& s_;
  std::string file_;
  int findings_ = 0;
  std::set<std::string> labels_;
  std::vector<int> open_ifs_;  // lines of the if-blocks still open
  std::vector<int> open_hash_ifs_;  // lines of the "#if" still open
  std::vector<Jump> jumps_;
};

int ScriptChecker::Run() {
  for (int32_t i = 0; i < s_.TokenCount(); ++i)
    if (IsLabel(s_.Token(i))) labels_.insert(std::string(s_.Token(i)));
  for (;;) {
    const std::string t = s_.NextToken();
    if (AtEnd(s_, t)) break;
    if (t == "}else{") {
      if (open_ifs_.empty()) Find("'}else{' without an open if-block");
    } else if (t == "}") {
      if (open_ifs_.empty()) {
        Find("'}' without an open if-block");
      } else {
        open_ifs_.pop_back();
      }
    } else if (t.starts_with("if(")) {
      Condition();
    } else if (t.find('$') != std::string::npos) {
      Variable(t);
    } else if (IsSeparator(t) || IsLabel(t) || IsScopeToken(t)) {
      // nothing to check
    } else if (const CommandSpec* spec = FindCommand(t, true)) {
      Command(*spec, t);
    } else {
      Find("unknown command '" + Utf8(t) + "'");
    }
  }
  for (int line : open_ifs_) FindAt(line, "'{' of this if is never closed");
  for (int line : open_hash_ifs_) FindAt(line, "#if without #endif");
  CheckLoops();
  return findings_;
}

void ScriptChecker::Condition() {
  const int line = Line();
  int count = 0;
  bool bad = false;
  for (;;) {
    const std::string t = s_.NextToken();
    if (t == "){") break;
    if (AtEnd(s_, t)) {
      FindAt(line, "if( without ){");
      return;
    }
    if (IsSeparator(t) || t == "(" || t == ")") continue;
    ++count;
    if (count % 2 == 0) {
      if (t != "==" && t != "<" && t != ">") {
        Find("condition: unknown operator '" + Utf8(t) + "'");
        bad = true;
      }
    } else if (t.find('$') == std::string::npos) {
      if (!IsDecimalDigits(t)) {
        Find("condition: '" + Utf8(t) + "' is neither a number nor a variable");
        bad = true;
      }
    } else if (ParseVariableRef(t).error != VariableError::kNone) {
      Find("condition: bad variable '" + Utf8(t) + "'");
      bad = true;
    }
  }
  if (!bad && (count == 0 || count % 2 == 0)) FindAt(line, "condition cannot be evaluated");
  open_ifs_.push_back(line);
}

void ScriptChecker::Variable(const std::string& token) {
  const VariableRef ref = ParseVariableRef(token);
  switch (ref.error) {
    case VariableError::kNone: break;
    case VariableError::kNoOpenBracket: Find("variable '" + Utf8(token) + "' has no '['"); break;
    case VariableError::kNoCloseBracket: Find("variable '" + Utf8(token) + "' has no ']'"); break;
    case VariableError::kBadIndex:
      Find("variable '" + Utf8(token) + "': the index must be decimal digits");
      break;
    case VariableError::kIndexTooLarge:
      Find("variable '" + Utf8(token) + "': index above " +
           std::to_string(MaxVariableIndex(ref.family)));
      break;
  }
  if (token.find("++", 1) != std::string::npos || token.find("--", 1) != std::string::npos) return;
  const std::string next = s_.NextToken();
  if (next != "=") {
    if (!AtEnd(s_, next)) s_.SetPosition(s_.GetPosition() - 1);
    return;
  }
  const std::string value = s_.NextToken();
  if (!IsDecimalDigits(value) || IsSeparator(value))
    Find("assignment to '" + Utf8(token) + "': the value must be decimal digits, not '" +
         Utf8(value) + "'");
}

void ScriptChecker::Command(const CommandSpec& spec, const std::string& token) {
  switch (spec.form) {
    case ArgForm::kDefText: {
      CharNameTable table;
      ReadDefText(s_, *this, table);
      return;
    }
    case ArgForm::kTextPage: {
      TextPage page;
      ReadTextPage(token, s_, *this, page);
      for (int i = 0; i < page.voice_count; ++i) {
        const std::string path = "SOUND\\VOICE\\" + page.voices[static_cast<size_t>(i)] + ".ogg";
        if (!platform::fs::Exists(path)) Find("voice file " + Utf8(path) + " is missing");
      }
      return;
    }
    case ArgForm::kSelect:
    case ArgForm::kBattleSelect: {
      ChoiceList choices;
      const bool complete = spec.form == ArgForm::kSelect ? ReadSelect(s_, *this, choices)
                                                          : ReadBattleSelect(s_, *this, choices);
      for (int i = 0; i < choices.count; ++i) {
        const Choice& c = choices.items[static_cast<size_t>(i)];
        CheckTarget(c.target, LineAt(c.position));
      }
      if (complete && spec.form == ArgForm::kBattleSelect)
        CheckTarget(choices.timeout_target, LineAt(choices.timeout_position));
      return;
    }
    case ArgForm::kNone:
    case ArgForm::kToken:
    case ArgForm::kCommaList: break;
  }
  const int32_t at = s_.GetPosition() - 1;
  CommandArgs args;
  args.spec = &spec;
  args.command = token;
  // A number read as atoi reads it is never refused by the game, but anything other than
  // digits there is a slip of the writer.
  if (spec.form == ArgForm::kToken && spec.fields[0].kind == ArgKind::kNumber) {
    const std::string next(s_.Token(s_.GetPosition()));
    std::string_view digits = next;
    if (digits.starts_with('-')) digits.remove_prefix(1);
    if (digits.empty() || !IsDecimalDigits(digits)) {
      s_.NextToken();
      Find("bad argument: '" + Utf8(token) + " " + (IsSeparator(next) ? "" : Utf8(next)) +
           "' (not a number)");
      return;
    }
  }
  if (!ReadCommandArgs(spec, s_, *this, args)) return;
  if (token == "#if") open_hash_ifs_.push_back(Line());
  for (int i = 0; i < spec.field_count; ++i) {
    const ArgField& f = spec.fields[static_cast<size_t>(i)];
    if (f.kind == ArgKind::kName && f.file != FileKind::kNone)
      CheckFile(f.file, args.text[static_cast<size_t>(i)]);
  }
  if (token == "#endif") {
    if (open_hash_ifs_.empty()) {
      Find("#endif without #if");
    } else {
      open_hash_ifs_.pop_back();
    }
  }
  if (token == "@jump") jumps_.push_back({at, args.text[0], Line()});
}

void ScriptChecker::CheckFile(FileKind kind, const std::string& name) {
  auto in_archive = [&](const std::string& path, const CPackFile& archive, const char* which) {
    if (archive.EntrySize(path) < 0) Find("picture " + Utf8(path) + " is missing from " + which);
  };
  auto on_disk = [&](const std::string& path, const char* what) {
    if (!platform::fs::Exists(path)) Find(std::string(what) + " " + Utf8(path) + " is missing");
  };
  switch (kind) {
    case FileKind::kNone: break;
    case FileKind::kBackground:
      if (name.find("SYSTEM") != std::string::npos) {
        in_archive("BG\\" + name, game_.system, "system.pkd");
      } else if (game_.have_grp) {
        in_archive("BG\\" + name, game_.grp, "grp.pkd");
      }
      break;
    case FileKind::kCharacter:
      if (game_.have_grp) in_archive("CHR\\" + name, game_.grp, "grp.pkd");
      break;
    case FileKind::kGlyphs: in_archive("textbox\\" + name, game_.system, "system.pkd"); break;
    case FileKind::kSoundEffect: on_disk("SOUND\\SE\\" + name, "sound file"); break;
    case FileKind::kMusic: on_disk("SOUND\\BGM\\" + name, "music file"); break;
    case FileKind::kMovie:
      on_disk("MOVIE\\HIGH\\" + name, "movie file");
      on_disk("MOVIE\\LOW\\" + name, "movie file");
      break;
    case FileKind::kScript: {
      std::string path = "SCP\\" + name;
      if (name.find(".scp") == std::string::npos) path += ".scp";
      if (!ScriptExists(path)) Find("script " + Utf8(path) + " is missing from system.pkd");
      break;
    }
    case FileKind::kLabel:
      if (!HasLabel(name)) Find("label '" + Utf8(name) + "' not found");
      break;
  }
}

void ScriptChecker::CheckTarget(const std::string& target, int line) {
  if (target.starts_with('*')) {
    if (!HasLabel(target)) FindAt(line, "choice target: label '" + Utf8(target) + "' not found");
    return;
  }
  const std::string path = "SCP\\" + target + ".scp";
  if (!ScriptExists(path))
    FindAt(line, "choice target: script " + Utf8(path) + " is missing from system.pkd");
}

// A jump back to a label with no yielding command and no if between them repeats for ever in
// one frame.
void ScriptChecker::CheckLoops() {
  for (const Jump& j : jumps_) {
    s_.SetPosition(j.position + 2);  // where the engine searches from: after the reference
    if (s_.FindLabel(j.reference, true) < 0) continue;
    const int32_t target = s_.GetPosition();
    if (target > j.position) continue;
    bool leaves = false;
    for (int32_t i = target; i < j.position && !leaves; ++i) {
      const std::string_view t = s_.Token(i);
      const CommandSpec* spec = FindCommand(t, true);
      leaves = (spec && spec->yields) || t.starts_with("if(");
    }
    if (!leaves)
      FindAt(j.line, "warning: '@jump " + Utf8(j.reference) + "' goes back to line " +
                         std::to_string(LineAt(target - 1)) +
                         " with no yielding command or if in between: an endless loop");
  }
}

int Usage() {
  std::fprintf(stderr, "usage: scpcheck GAME_FOLDER | ARCHIVE.pkd\n");
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') return Usage();
  platform::Log log;  // the tokeniser's own messages become findings
  log.SetEcho(false);

  std::error_code error;
  const stdfs::path argument = stdfs::absolute(argv[1], error);
  const bool is_folder = stdfs::is_directory(argument, error);
  if (!is_folder && !stdfs::is_regular_file(argument, error)) {
    std::fprintf(stderr, "scpcheck: %s: no such folder or archive\n", argv[1]);
    return kUsage;
  }
  const stdfs::path folder = is_folder ? argument : argument.parent_path();
  // The archives, sounds and movies are found where the game looks: in its folder, by the
  // game's own names (any case).
  if (!platform::fs::SetCurrentFolder(folder.string())) {
    std::fprintf(stderr, "scpcheck: cannot enter %s\n", folder.c_str());
    return kUsage;
  }
  Game game;
  const std::string system_path =
      is_folder ? platform::fs::HostPath("system.pkd") : argument.string();
  if (!game.system.OpenHostFile(system_path)) {
    std::fprintf(stderr, "scpcheck: cannot open %s\n", system_path.c_str());
    return kUsage;
  }
  game.have_grp = game.grp.Open("grp.pkd");

  int findings = 0;
  if (!game.have_grp) {
    std::printf("grp.pkd:0: cannot be opened; pictures in it are not checked\n");
    ++findings;
  }

  // The entries with their names as stored (the index keeps them upper-cased).
  std::vector<std::string> scripts;
  if (platform::fs::File f{std::fopen(system_path.c_str(), "rb")}) {
    for (const PackRecord& r : ReadPackTable(f.get()).records) {
      const std::string upper = Upper(r.name);
      if (r.sound && upper.starts_with("SCP\\") && upper.ends_with(".SCP"))
        scripts.push_back(r.name);
    }
  }
  std::sort(scripts.begin(), scripts.end());
  scripts.erase(std::unique(scripts.begin(), scripts.end()), scripts.end());

  for (const std::string& name : scripts) {
    CScript script(&game.system);
    script.SetRecordLines(true);
    // A log of the script's own, current while it loads: the tokeniser's messages for this
    // script and nothing else, however many there are.
    platform::Log script_log;
    script_log.SetEcho(false);
    const size_t logged = 0;
    const bool loaded = script.Load(name);
    const std::vector<std::string> lines = script_log.Lines();
    // What the tokeniser reported ("[name : line] text") becomes a finding of its own.
    for (size_t i = logged; i < lines.size(); ++i) {
      const std::string& l = lines[i];
      const size_t colon = l.find(" : ");
      const size_t close = l.find("] ");
      const std::string line_text =
          colon != std::string::npos && close != std::string::npos && close > colon
              ? l.substr(colon + 3, close - colon - 3)
              : "0";
      std::string text = close != std::string::npos ? l.substr(close + 2) : l;
      while (!text.empty() && text.back() == '\n') text.pop_back();
      std::printf("%s:%s: %s\n", Utf8(name).c_str(), line_text.c_str(), Utf8(text).c_str());
      ++findings;
    }
    if (!loaded) {
      if (lines.size() == logged) {
        std::printf("%s:0: cannot be read as a script\n", Utf8(name).c_str());
        ++findings;
      }
      continue;
    }
    findings += ScriptChecker(game, script, Utf8(name)).Run();
  }
  if (scripts.empty()) {
    std::printf("%s:0: no SCP\\*.scp scripts in it\n", Utf8(system_path).c_str());
    ++findings;
  }
  return findings > 0 ? kFound : kClean;
}
