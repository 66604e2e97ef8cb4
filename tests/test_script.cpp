// The script tokeniser and loader: the byte rules as one table, reading with line numbers, label
// search, loading from an archive, and hostile input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/log.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"
#include "script/script.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The raw token list in a readable form: "|" between tokens, an end-of-line group as "#n",
// any other "\n" token as "NL", an empty token as "''". The extra empty token is left out.
std::string Render(const CScript& s) {
  std::string out;
  const int32_t n = s.TokenCount();
  for (int32_t i = 0; i < n; ++i) {
    if (!out.empty()) out += '|';
    if (i + 4 < n && s.Token(i) == "\n" && s.Token(i + 1) == "@LINE" && s.Token(i + 2) == "\n" &&
        s.Token(i + 4) == "\n") {
      out += "#" + std::string(s.Token(i + 3));
      i += 4;
    } else if (s.Token(i) == "\n") {
      out += "NL";
    } else if (s.Token(i).empty()) {
      out += "''";
    } else {
      out += s.Token(i);
    }
  }
  return out;
}

bool LoadText(CScript& s, std::string_view text, const std::string& name = "SCP\\t.scp") {
  return s.LoadFromMemory(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { log.SetEcho(false); }
  platform::Log log;
  CScript script;
};

TEST_F(ScriptTest, TokeniserRules) {
  struct Case {
    const char* source;
    const char* tokens;
  } cases[] = {
      // Line ends, and a file with or without the last one.
      {"a b\r\nc", "a|b|#2|c|#3"},
      {"a b\r\nc\r\n", "a|b|#2|c|#3"},
      // Blank lines give no group; the next group names the line after the text.
      {"a\r\n\r\n\r\nb", "a|#2|b|#5"},
      // A line ending in a tab runs on into the next statement.
      {"a\t\r\nb", "a|b|#3"},
      // A line ending in a space: one empty token, and then one more per empty or comment line
      // until the next line with text.
      {"a \r\nb", "a|''|#2|b|#3"},
      {"a \r\n\r\n// c\r\nb\r\n\r\nd", "a|''|#2|''|#3|''|#4|b|#5|d|#7"},
      {"   \r\na", "''|#2|a|#3"},
      // Only the last character of a run of blanks counts.
      {"a \t b", "a|b|#2"},
      {"a \t\r\nb", "a|b|#3"},
      {"a\t \r\nb", "a|''|#2|b|#3"},
      // Quotes: kept in the token, spaces and "//" inside are text, tabs are dropped, and a line
      // end inside is dropped while the line counter still moves.
      {"@jump \"x  y\"", "@jump|\"x  y\"|#2"},
      {"\"a\tb\" c", "\"ab\"|c|#2"},
      {"\"a//b\" c", "\"a//b\"|c|#2"},
      {"x=\"a b\"c d", "x=\"a b\"c|d|#2"},
      {"\"a\r\nb\" c\r\nd", "\"ab\"|c|#3|d|#4"},
      // Comments: dropped to the line end, which then counts as usual; no quote inside one.
      {"a//x y\r\nb", "a|#2|b|#3"},
      {"// only\r\na", "a|#3"},
      {"a //x\r\nb", "a|''|#2|b|#3"},
      {"a//\"\r\nb c", "a|#2|b|c|#3"},
      {"a/b /c", "a/b|/c|#2"},
      // A CR without LF and a lone LF are ordinary bytes.
      {"a\rb\nc", "a\rb\nc|#2"},
      {"a\r\r\nb", "a\r|#2|b|#3"},
      // Shift_JIS text goes through whole, trail bytes that look like ASCII included.
      {"\x95\x5c \x81\x40\x82\xa0", "\x95\x5c|\x81\x40\x82\xa0|#2"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(LoadText(script, c.source)) << c.source;
    EXPECT_EQ(Render(script), c.tokens) << "source: " << c.source;
    EXPECT_EQ(script.Token(script.TokenCount()), "");
    EXPECT_EQ(script.GetPosition(), 0);
  }
}

TEST_F(ScriptTest, ReadingSkipsLineGroupsAndEndsInOneEmptyTokenThenEOF) {
  ASSERT_TRUE(LoadText(script, "a b\r\n\r\nc\r\nEOF"));
  struct Read {
    const char* token;
    int32_t line;
  } reads[] = {{"a", 0},   {"b", 0},  {"\n", 0}, {"\n", 2}, {"c", 2},   {"\n", 2}, {"\n", 4},
               {"EOF", 4}, {"\n", 4}, {"\n", 5}, {"", 5},   {"EOF", 5}, {"EOF", 5}};
  for (const Read& r : reads) {
    EXPECT_EQ(script.NextToken(), r.token);
    EXPECT_EQ(script.GetLine(), r.line) << r.token;
  }
  EXPECT_EQ(script.GetPosition(), script.TokenCount() + 1);

  // Positions: capped at the count, unbounded below (reads as the end).
  script.SetPosition(1'000'000);
  EXPECT_EQ(script.GetPosition(), script.TokenCount());
  EXPECT_EQ(script.NextToken(), "");
  script.SetPosition(-5);
  EXPECT_EQ(script.NextToken(), "EOF");
  EXPECT_EQ(script.GetPosition(), -5);

  // The current line is not reset by a load.
  ASSERT_TRUE(LoadText(script, "x"));
  EXPECT_EQ(script.GetLine(), 5);
}

TEST_F(ScriptTest, LabelSearch) {
  // Tokens per line: start: / a / target: / [x / sc[ope / target: / ] / far:
  ASSERT_TRUE(
      LoadText(script, "start:\r\na\r\ntarget:\r\n[x\r\nsc[ope\r\ntarget:\r\n]\r\nfar:\r\n"));
  auto index_of = [&](std::string_view token, int nth) {
    for (int32_t i = 0; i < script.TokenCount(); ++i)
      if (script.Token(i) == token && nth-- == 0) return i;
    return -1;
  };
  const int32_t first_target = index_of("target:", 0);
  const int32_t second_target = index_of("target:", 1);
  const int32_t end = script.TokenCount();
  struct Case {
    int32_t from;
    const char* reference;
    bool scope_check;
    int result;
    int32_t position;  // after the search
  } cases[] = {
      {0, "*target", false, 0, first_target + 1},
      {first_target + 1, "@target", false, 0, second_target + 1},  // the one after wins
      {end, "*target", false, 0, second_target + 1},  // else the nearest before
      {0, "*far", true, 1, index_of("far:", 0) + 1},  // crossed the "]"
      {0, "*far", false, 0, index_of("far:", 0) + 1},
      {end, "*start", true, 1, 1},  // crossed "sc[ope" ("[x" does not count)
      {second_target, "*target", true, 0, second_target + 1},
      {index_of("[x", 0) + 1, "*start", true, 0, 1},  // "[" first does not count
      {3, "*missing", true, -1, 3},
      {3, "", true, -1, 3},
      {3, "target", false, -1, 3},  // the first character is a sigil, so this is "arget:"
  };
  for (const Case& c : cases) {
    script.SetPosition(c.from);
    EXPECT_EQ(script.FindLabel(c.reference, c.scope_check), c.result) << c.reference << c.from;
    EXPECT_EQ(script.GetPosition(), c.position) << c.reference << c.from;
  }
}

TEST_F(ScriptTest, LoadsFromTheArchiveWithCrLfAppended) {
  char tmpl[] = "/tmp/lanthorn-script-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::filesystem::path pack_path = std::filesystem::path(tmpl) / "system.pkd";
  auto pack = BuildPack({{"SCP\\Start.scp", {'a', ' ', 'b'}}, {"SCP\\empty.scp", {}}}, 0x21);
  ASSERT_TRUE(pack);
  std::ofstream(pack_path, std::ios::binary)
      .write(reinterpret_cast<const char*>(pack->data()),
             static_cast<std::streamsize>(pack->size()));
  CPackFile archive;
  ASSERT_TRUE(archive.OpenHostFile(pack_path.string()));
  script.SetArchive(&archive);

  ASSERT_TRUE(script.Load("SCP\\start.scp"));
  EXPECT_EQ(Render(script), "a|b|#2");
  EXPECT_EQ(script.GetName(), "SCP\\start.scp");
  for (const char* bad : {"SCP\\empty.scp", "SCP\\missing.scp", ""}) {
    ASSERT_TRUE(script.Load("SCP\\start.scp"));
    EXPECT_FALSE(script.Load(bad)) << bad;
    EXPECT_TRUE(script.Loaded());
    EXPECT_EQ(script.TokenCount(), -1);
    EXPECT_EQ(script.GetName(), bad);
    EXPECT_EQ(script.NextToken(), "EOF");
    EXPECT_EQ(script.FindLabel("*a", false), -1);
  }
  std::filesystem::remove_all(tmpl);
}

TEST_F(ScriptTest, ATokenOver4095BytesRejectsTheScriptNamingItsLine) {
  const std::string longest(CScript::kMaxTokenLength, 'x');
  ASSERT_TRUE(LoadText(script, "a\r\nb " + longest));
  EXPECT_EQ(script.Token(2 + 5), longest);

  struct Case {
    std::string source;
    const char* line;  // the line the diagnostic names: where the token began
  } cases[] = {
      {"a\r\n\r\nb " + longest + "y", "[SCP\\t.scp : 3]"},
      {"\"" + std::string(3000, 'q') + "\r\n" + std::string(2000, 'q') + "\"", "[SCP\\t.scp : 1]"},
      {"a\r\n" + std::string(100'000, 'z'), "[SCP\\t.scp : 2]"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(LoadText(script, c.source));
    EXPECT_EQ(script.TokenCount(), -1);
    EXPECT_EQ(script.NextToken(), "EOF");
    EXPECT_TRUE(log.Contains(std::string(c.line) + " token longer than 4095 bytes")) << c.line;
  }
}

// A script beyond the largest taken is refused, and logged, before anything is allocated for it.
TEST_F(ScriptTest, AScriptBeyondTheCapIsRefused) {
  std::string text(CScript::kMaxScriptBytes + 1, ' ');
  text[0] = 'a';
  EXPECT_FALSE(LoadText(script, text));
  EXPECT_EQ(script.TokenCount(), -1);
  EXPECT_TRUE(log.Contains("script too large to load"));
}

TEST_F(ScriptTest, BadInputLoadsOrFailsAndReadingAlwaysEnds) {
  Bytes garbage(64 * 1024);
  uint32_t seed = 12345;
  for (auto& b : garbage) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  std::string many_tokens;
  while (many_tokens.size() < 100'000) many_tokens += "tok ";
  std::string line_groups;  // written by hand, the way the tokeniser writes them
  for (int i = 0; i < 200'000; ++i) line_groups += "@LINE ";
  struct Case {
    const char* what;
    std::string source;
    bool loads;
  } cases[] = {
      {"unterminated quote", "a\r\n\"open b c\r\nd", true},
      {"missing brace", "@text,0,v,{\r\nline one\r\n", true},
      {"100,000-byte line of tokens", many_tokens, true},
      {"binary garbage", std::string(garbage.begin(), garbage.end()), true},
      {"NUL bytes", std::string("a\0b\r\n\0", 6), true},
      {"nothing but line groups", line_groups, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadText(script, c.source), c.loads) << c.what;
    int reads = 0;
    while (script.NextToken() != "EOF" && reads <= script.TokenCount() + 1) ++reads;
    EXPECT_LE(reads, script.TokenCount() + 1) << c.what;
  }
  // The open quote swallows the rest of the file; the load says where it began.
  ASSERT_TRUE(LoadText(script, "a\r\n\"open b c\r\nd"));
  EXPECT_EQ(Render(script), "a|#2");
  EXPECT_TRUE(log.Contains("[SCP\\t.scp : 2] quote not closed"));
}

}  // namespace
