// The script loader and tokeniser. The tokeniser reacts only to bytes below 0x40 (quote, space,
// tab, slash, CR, LF), so it never splits a Shift_JIS pair. Runs of bytes it does not react to
// are copied in one go; everything else follows the byte rules one byte at a time.
#include "script/script.h"
#include "script/variables.h"

#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <new>

#include "platform/log.h"
#include "resource/pack_file.h"

namespace {

bool IsBlank(uint8_t c) {
  return c == ' ' || c == '\t';
}

// Bytes that need the byte rules, outside quotes and inside them. Inside quotes spaces and "//"
// are plain text.
constexpr std::array<bool, 256> SpecialBytes(bool in_quote) {
  std::array<bool, 256> t{};
  t['"'] = t['\t'] = t['\r'] = true;
  if (!in_quote) t[' '] = t['/'] = true;
  return t;
}
constexpr std::array<bool, 256> kSpecialOutside = SpecialBytes(false);
constexpr std::array<bool, 256> kSpecialInside = SpecialBytes(true);

}  // namespace

void CScript::Reset(const std::string& name) {
  loaded_ = true;
  Discard();
  name_ = name;
}

// The tokens go, and the count with them, so a failed load never reads tokens that are gone.
// The buffers keep their memory for the next load: one script is loaded at a time, and reusing
// it saves touching fresh pages on every load.
void CScript::Discard() {
  text_.clear();
  ends_.clear();
  lines_.clear();
  token_count_ = -1;
  position_ = 0;
}

bool CScript::Load(const std::string& path) {
  Reset(path);
  if (path.empty() || !archive_) return false;
  const int32_t size = archive_->EntrySize(path);
  if (size <= 0) return false;
  if (static_cast<size_t>(size) > kMaxScriptBytes) {
    WriteLog(2, "script too large to load", path, 0);
    return false;
  }
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(static_cast<size_t>(size) + 3);
  } catch (const std::bad_alloc&) {
    WriteLog(2, "script too large to load", path, 0);
    return false;
  }
  if (archive_->ReadEntry(path, buffer.data()) != size) {
    WriteLog(2, "script could not be read", path, 0);
    return false;
  }
  buffer[static_cast<size_t>(size)] = '\r';
  buffer[static_cast<size_t>(size) + 1] = '\n';
  return Tokenise(buffer.data(), static_cast<size_t>(size) + 2);
}

bool CScript::LoadFromMemory(const std::string& name, const uint8_t* data, size_t size) {
  Reset(name);
  if (name.empty() || size == 0) return false;
  if (size > kMaxScriptBytes) {
    WriteLog(2, "script too large to load", name, 0);
    return false;
  }
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(size + 3);
  } catch (const std::bad_alloc&) {
    WriteLog(2, "script too large to load", name, 0);
    return false;
  }
  std::memcpy(buffer.data(), data, size);
  buffer[size] = '\r';
  buffer[size + 1] = '\n';
  return Tokenise(buffer.data(), size + 2);
}

bool CScript::Tokenise(const uint8_t* d, const size_t n) {
  bool in_quote = false;
  bool in_comment = false;
  bool pending_space = false;  // a space separator came after the line's last token
  int32_t line = 1;
  int32_t token_line = 1;  // where the token being built began
  int32_t quote_line = 1;  // where the open quote was opened
  size_t token_begin = 0;  // the token being built is text_[token_begin, end)

  auto emit = [&]() __attribute__((always_inline)) {
    if (record_lines_) lines_.push_back(text_.size() > token_begin ? token_line : line);
    ends_.push_back(text_.size());
    token_begin = text_.size();
  };
  // The end-of-line group "\n", "@LINE", "\n", the number, "\n", written in one go.
  auto emit_group = [&](int32_t number) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, number);
    const size_t at = text_.size();
    text_.append("\n@LINE\n");
    text_.append(digits, r.ptr);
    text_.push_back('\n');
    ends_.insert(ends_.end(), {at + 1, at + 6, at + 7, text_.size() - 1, text_.size()});
    if (record_lines_) lines_.insert(lines_.end(), 5, number - 1);  // the line that ended
    token_begin = text_.size();
  };
  auto append = [&](const uint8_t* p, size_t count) {
    if (text_.size() == token_begin) token_line = line;
    if (text_.size() - token_begin + count > kMaxTokenLength) return false;
    text_.append(reinterpret_cast<const char*>(p), count);
    pending_space = false;
    return true;
  };

  try {
    text_.reserve(n + n / 4);
    ends_.reserve(n / 4 + 8);
    if (record_lines_) lines_.reserve(n / 4 + 8);
    size_t i = 0;
    while (i < n) {
      const uint8_t b = d[i];
      if (in_comment) {
        // Dropped up to the line end; a CR without LF is dropped like the rest.
        if (b != '\r' || d[i + 1] != '\n') {
          const void* cr = std::memchr(d + i + 1, '\r', n - i - 1);
          i = cr ? static_cast<size_t>(static_cast<const uint8_t*>(cr) - d) : n;
          continue;
        }
      } else {
        const std::array<bool, 256>& special = in_quote ? kSpecialInside : kSpecialOutside;
        if (!special[b]) {
          size_t j = i + 1;
          while (j < n && !special[d[j]]) ++j;
          if (!append(d + i, j - i)) goto too_long;
          i = j;
          continue;
        }
        if (b == '"') {
          in_quote = !in_quote;
          if (in_quote) quote_line = line;
        }
        if (!in_quote && IsBlank(b) && IsBlank(d[i + 1])) {  // only a run's last blank counts
          ++i;
          continue;
        }
        if (!in_quote && b == '/' && d[i + 1] == '/') {
          in_comment = true;
          i += 2;
          continue;
        }
      }
      if (b == '\r' && d[i + 1] == '\n') {
        if (!in_quote) {
          if (text_.size() > token_begin || pending_space) {
            emit();  // on the line that ends here
            emit_group(line + 1);
          }
          in_comment = false;
        }
        ++line;
        i += 2;
        continue;
      }
      if (b == '\t') {
        if (!in_quote && text_.size() > token_begin) emit();
      } else if (b == ' ' && !in_quote) {
        if (text_.size() > token_begin) emit();
        pending_space = true;
      } else if (!append(d + i, 1)) {
        goto too_long;
      }
      ++i;
    }
    // A token still open here is inside a quote that never closed; it is dropped.
    if (in_quote) WriteLog(2, "quote not closed before the end of the script", name_, quote_line);
    text_.resize(token_begin);
    if (ends_.size() >= static_cast<size_t>(INT32_MAX)) {
      WriteLog(2, "too many tokens; script not loaded", name_, line);
      Discard();
      return false;
    }
    emit();  // the extra empty token
  } catch (const std::bad_alloc&) {
    WriteLog(2, "script too large to load", name_, line);
    Discard();
    return false;
  }
  token_count_ = static_cast<int32_t>(ends_.size() - 1);
  position_ = 0;
  return true;

too_long:
  WriteLog(2, "token longer than 4095 bytes; script not loaded", name_, token_line);
  Discard();
  return false;
}

std::string_view CScript::Token(int32_t i) const {
  if (i < 0 || i > token_count_) return {};
  return RawToken(i);
}

int32_t CScript::TokenLine(int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= lines_.size()) return 0;
  return lines_[static_cast<size_t>(i)];
}

int32_t CScript::SkipLineGroups(int32_t i) const {
  int depth = 0;
  for (i = i < 0 ? token_count_ + 1 : i; i <= token_count_; ++i) {
    const std::string_view t = RawToken(i);
    if (t == "@LINE") {
      ++depth;
    } else if (depth == 0) {
      return i;
    } else if (t != "\n") {
      --depth;
    }
  }
  return token_count_ + 1;
}

std::string CScript::RawNext() {
  if (position_ < 0 || position_ > token_count_) return "EOF";
  return std::string(RawToken(position_++));
}

// A line-number group is "@LINE", any "\n", the number, then the "\n" that is returned. A group
// read while another is being skipped nests; `depth` counts the groups still waiting for their
// number, so a script of nothing but "@LINE" tokens costs no stack.
std::string CScript::NextToken() {
  int depth = 0;
  for (;;) {
    std::string t = RawNext();
    if (t == "@LINE") {
      ++depth;
      continue;
    }
    if (depth == 0) return t;
    if (t == "\n") continue;
    current_line_ = AtoiValue(t);  // atoi that saturates
    --depth;
  }
}

int CScript::FindLabel(std::string_view reference, bool scope_check) {
  if (reference.empty() || token_count_ <= 0) return -1;
  std::string key(reference.substr(1));
  key += ':';
  bool crossed = false;
  for (int32_t i = position_ < 0 ? 0 : position_; i < token_count_; ++i) {
    const std::string_view t = RawToken(i);
    if (scope_check && t == "]") crossed = true;
    if (t == key) {
      position_ = i + 1;
      return crossed ? 1 : 0;
    }
  }
  crossed = false;
  for (int32_t i = (position_ < token_count_ ? position_ : token_count_) - 1; i >= 0; --i) {
    const std::string_view t = RawToken(i);
    if (scope_check && t.size() > 1 && t.find('[', 1) != std::string_view::npos) crossed = true;
    if (t == key) {
      position_ = i + 1;
      return crossed ? 1 : 0;
    }
  }
  return -1;
}
