// CScript: one loaded script as a flat token stream with a read position. The tokeniser turns
// the file's bytes into tokens once per load; the interpreter then reads them one at a time, and
// labels, jumps and saved positions are token positions.
//
// Script library: uses platform, resource and save; never includes an engine header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CPackFile;

class CScript {
 public:
  static constexpr size_t kMaxTokenLength = 4095;
  // The largest script taken: far beyond any story's, so an entry claiming more is refused (and
  // logged) before its bytes are read.
  static constexpr size_t kMaxScriptBytes = size_t{16} << 20;

  CScript() = default;
  explicit CScript(const CPackFile* archive) : archive_(archive) {}

  // The archive scripts are loaded from (the system archive).
  void SetArchive(const CPackFile* archive) { archive_ = archive; }

  // Replaces the token list with the tokens of the named archive entry. False (and no tokens)
  // when the name is empty, the entry is missing, empty, unreadable or larger than
  // kMaxScriptBytes, or the script has a token longer than kMaxTokenLength (logged with the
  // script's name and the token's line).
  bool Load(const std::string& path);
  // The same for a file image already in memory (tools and tests).
  bool LoadFromMemory(const std::string& name, const uint8_t* data, size_t size);

  // The token at the position, advancing by one; line-number groups are read through and set the
  // current line, so each line end is seen as two "\n" tokens. At the end: one empty token, then
  // "EOF" on every call without moving.
  std::string NextToken();

  int32_t GetPosition() const { return position_; }
  // Capped at the token count; no lower bound (a negative position reads as the end).
  void SetPosition(int32_t p) { position_ = p < token_count_ ? p : token_count_; }
  std::string GetName() const { return name_; }
  int32_t GetLine() const { return current_line_; }

  // Moves to just after the label `reference` names (its first character is a sigil, dropped).
  // The nearest label after the position wins; failing that, the nearest before it. Returns -1
  // when there is none (position unchanged), else 1 when the search crossed a clickable scope's
  // bracket and scope_check is on, else 0.
  int FindLabel(std::string_view reference, bool scope_check);

  bool Loaded() const { return loaded_; }
  int32_t TokenCount() const { return token_count_; }
  // Token i, 0 <= i <= TokenCount() (the last is the extra empty token); empty otherwise.
  std::string_view Token(int32_t i) const;
  // The position of the token NextToken would return when read from position i (line-number
  // groups passed over), without reading: for looking ahead. Past the end when none is left.
  int32_t SkipLineGroups(int32_t i) const;

  // For tools: when on, the following loads also keep the source line of every token (where it
  // begins; a line-number group and an empty token count on the line they end), so a report
  // can name the real line even after blank lines, which the current line does not count.
  void SetRecordLines(bool on) { record_lines_ = on; }
  // The source line of token i (1 for the first line), or 0 when lines were not recorded.
  int32_t TokenLine(int32_t i) const;

 private:
  void Reset(const std::string& name);
  void Discard();
  // Tokenises `size` bytes that end in CR LF; data[size] must be readable (the lookahead).
  bool Tokenise(const uint8_t* data, size_t size);
  std::string_view RawToken(int32_t i) const {
    const size_t begin = i == 0 ? 0 : ends_[static_cast<size_t>(i) - 1];
    return std::string_view(text_).substr(begin, ends_[static_cast<size_t>(i)] - begin);
  }
  std::string RawNext();

  const CPackFile* archive_ = nullptr;
  bool loaded_ = false;
  int32_t position_ = 0;
  std::string name_;
  int32_t token_count_ = -1;
  int32_t current_line_ = 0;  // kept across loads
  // The tokens, back to back in one buffer; token i ends at ends_[i] and begins where i - 1 ends.
  std::string text_;
  std::vector<size_t> ends_;
  bool record_lines_ = false;
  std::vector<int32_t> lines_;  // TokenLine, when record_lines_
};
