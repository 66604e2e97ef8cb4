// Page snapshots and the message history on the headless engine: what a text page copies into
// the save record (read back at the record's byte offsets), the 50-page history with its
// snapshots, the history's length rules, and the character-name table in the record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A grey half-transparent picture and a short 8-bit mono sound (support/media.h).
Bytes Picture(int w, int h) { return testing_support::SolidPng(w, h, 0x808080, 0x80); }
Bytes Wav() { return testing_support::DcWav(64, 1, 22050, 8, 0, 0); }

using testing_support::GameFolder;
using testing_support::ScriptFile;

class SnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.Write("system.pkd", *BuildPack({}));
    folder.WriteEmptyArchive("thumb.pkd");
    folder.Write("grp.pkd", *BuildPack({{"BG\\sky.png", Picture(800, 600)},
                                        {"CHR\\girl.png", Picture(512, 600)}}));
    folder.Write("SOUND/SE/bell.wav", Wav());
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    adv().game_mode = MODE_ADV;
  }
  CADV& adv() { return game.process.adv; }
  void Run(std::string_view utf8) {
    const Bytes b = ScriptFile(utf8);
    ASSERT_TRUE(adv().script.LoadFromMemory("SCP\\t.scp", b.data(), b.size()));
  }
  // The token position of the n-th (0-based) text command of the loaded script.
  int32_t TextToken(int n) {
    for (int32_t i = 0; i < adv().script.TokenCount(); ++i)
      if (adv().script.Token(i).starts_with("@text,") && n-- == 0) return i;
    return -1;
  }
  // Runs interpreter steps until the script has read past the token at `position`.
  void StepPast(int32_t position) {
    for (int i = 0; i < 200 && adv().script.GetPosition() <= position; ++i) adv().ScriptStep();
    ASSERT_GT(adv().script.GetPosition(), position);
  }
  const uint8_t* Raw(const SaveRecord& r) const { return reinterpret_cast<const uint8_t*>(&r); }
  int32_t Int32At(const SaveRecord& r, size_t offset) const {
    int32_t v;
    std::memcpy(&v, Raw(r) + offset, 4);
    return v;
  }
  std::string StringAt(const SaveRecord& r, size_t offset) const {
    return reinterpret_cast<const char*>(Raw(r) + offset);
  }

  GameFolder folder;
  HeadlessGame game;
};

TEST_F(SnapshotTest, TextPageFillsTheRecordAtItsOffsetsAndPushesIt) {
  Run("@def_text {\n"
      "3 ナレーター 0x0F4F on\n"
      "}\n"
      "@bg_load sky.png\n"
      "@bg_change 0\n"
      "@chr_load B,girl.png\n"
      "@chr_swap_screen B\n"
      "@chr_setpos B,3\n"
      "@chr_show B\n"
      "@chr_shadow B,off\n"
      "@se_load 2,bell.wav\n"
      "@se_loop 2\n"
      "@rollback_off\n"
      "@charname_window show\n"
      "@text,3 {\n"
      "こんにちは\n"
      "}\n");
  const int32_t text = TextToken(0);
  StepPast(text);
  const SaveRecord& r = adv().save_record;

  EXPECT_EQ(StringAt(r, 4), "SCP\\t.scp");
  EXPECT_EQ(Int32At(r, 68), text);  // the text command runs again after a load
  EXPECT_EQ(r.RollbackEnabled, 0);

  // Name-table entry 3: name, two pad bytes, colour little-endian, plate flag, one pad byte.
  const std::string name = SJ("ナレーター");
  const uint8_t* entry = Raw(r) + 3240 + 3 * 22;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry)), name);
  const uint8_t tail[] = {0, 0, 0x4F, 0x0F, 1, 0};
  EXPECT_EQ(std::memcmp(entry + 16, tail, sizeof tail), 0);
  EXPECT_EQ(Raw(r)[3240 + 22 * 4 + 18], 0xFF);  // an unnamed entry keeps colour 0xFFFF
  EXPECT_EQ(Raw(r)[6056], 1);  // the name plate as the page began

  // The scene: the background came to the front in channel 1; slot B shows buffer 1 at 3.
  EXPECT_EQ(Int32At(r, 704), 1);
  EXPECT_EQ(StringAt(r, 509 + 64), "sky.png");
  EXPECT_EQ(StringAt(r, 72 + (2 * 1 + 1) * 64), "girl.png");
  EXPECT_EQ(StringAt(r, 72 + (2 * 1 + 0) * 64), "");
  EXPECT_EQ(Int32At(r, 456 + 4), 3);  // position
  EXPECT_EQ(Int32At(r, 492 + 4), 1);  // front buffer
  EXPECT_EQ(Raw(r)[504 + 1], 1);  // shown, shadow off
  EXPECT_EQ(Raw(r)[504 + 0], 2);  // slot A: hidden, shadow on

  // The effect channel as loaded, looping.
  EXPECT_EQ(StringAt(r, 2605 + 2 * 64), "SOUND\\SE\\bell.wav");
  EXPECT_EQ(Raw(r)[3117 + 2], 1);
  EXPECT_EQ(Raw(r)[3125 + 2], 1);
  EXPECT_EQ(Raw(r)[3117 + 3], 0);

  // The page is the first history entry, its snapshot the record as it was taken.
  ASSERT_EQ(adv().history.count, 1);
  EXPECT_EQ(adv().checkpoints.count, 1);
  EXPECT_EQ(std::memcmp(&adv().checkpoints[0], &r, sizeof(SaveRecord)), 0);
  const HistoryEntry& h = adv().history.entries[0];
  EXPECT_EQ(std::string(h.name), name);
  EXPECT_EQ(h.name_plate, 1);
  EXPECT_EQ(std::string(h.lines[0]), SJ("こんにちは"));
}

TEST_F(SnapshotTest, The51stPageDropsTheOldestEntryAndItsSnapshotOnce) {
  std::string text;
  for (int page = 1; page <= 51; ++page) {
    const std::string n = std::to_string(page);
    text += "$[0] = " + n + "\n@text,0 {\npage_" + n + "\n}\n";  // $[0] marks the snapshot
  }
  Run(text);
  std::vector<int32_t> tokens;
  for (int page = 0; page < 51; ++page) tokens.push_back(TextToken(page));
  StepPast(tokens[49]);
  EXPECT_EQ(adv().history.count, 50);
  StepPast(tokens[50]);

  EXPECT_EQ(adv().history.count, 50);
  EXPECT_EQ(adv().checkpoints.count, 50);
  struct Case {
    int entry, page;
  } cases[] = {{0, 2}, {1, 3}, {48, 50}, {49, 51}};
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(adv().history.entries[c.entry].lines[0]),
              "page_" + std::to_string(c.page))
        << c.entry;
    const SaveRecord& snapshot = adv().checkpoints[c.entry];
    EXPECT_EQ(snapshot.ScriptPosition, tokens[c.page - 1]) << c.entry;
    EXPECT_EQ(snapshot.LocalVariables[0], c.page) << c.entry;  // the live part as it was then
  }
}

TEST_F(SnapshotTest, HistoryKeepsLinesUpTo60BytesAndCutsNamesOnACharacter) {
  std::string wide;  // 30 two-byte characters: 60 bytes
  for (int i = 0; i < 30; ++i) wide += "あ";
  Run("@def_text {\n0 ああああああああ 0xFFFF on\n}\n"  // 16 bytes
      "@text,0 {\n" +
      std::string(60, 'x') + "\n" + std::string(61, 'y') + "\n" + wide + "\n}\n");
  StepPast(TextToken(0));
  const HistoryEntry& page = adv().history.entries[0];
  EXPECT_EQ(std::string(page.lines[0]), std::string(60, 'x'));
  EXPECT_EQ(std::string(page.lines[1]), SJ("◆文字数制限オーバー◆"));
  EXPECT_EQ(std::string(page.lines[2]), SJ(wide));
  EXPECT_EQ(std::string(page.name), SJ("あああああああ"));  // 14 bytes: the 8th would straddle

  // A speaker given straight to the history is cut to 15 bytes the same way.
  const std::string a = SJ("あ");
  struct Case {
    std::string name, stored;
  } cases[] = {
      {"abc" + a + a + a + a + a + a, "abc" + a + a + a + a + a + a},  // 15 bytes: whole
      {"a" + a + a + a + a + a + a + a + a, "a" + a + a + a + a + a + a + a},  // 17 → 15
      {a + a + a + a + a + a + a + a, a + a + a + a + a + a + a},  // 16 → 14
  };
  for (const Case& c : cases) {
    adv().RecordHistory(-1, c.name);
    const HistoryEntry& e = adv().history.entries[static_cast<size_t>(adv().history.count)];
    EXPECT_EQ(std::string(e.name, strnlen(e.name, sizeof e.name)), c.stored);
    EXPECT_EQ(e.name[15], 0);
  }
}

TEST_F(SnapshotTest, CharacterNameTableRoundTripsThroughTheRecord) {
  CharNameTable& names = adv().char_names;
  names[0] = {"abcdefghijklmno", 0xABCD, true};  // 15 bytes, the most a name holds
  names[1] = {SJ("ナレーター"), 0x0F4F, false};
  names[127] = {"z", 0, true};
  adv().StoreCharNames();
  const CharNameTable stored = names;
  names = CharNameTable{};
  adv().RestoreCharNames();
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i].name, stored[i].name) << i;
    EXPECT_EQ(names[i].colour, stored[i].colour) << i;
    EXPECT_EQ(names[i].plate, stored[i].plate) << i;
  }

  // A record from a file whose name field has no NUL keeps at most 15 bytes.
  std::memset(adv().save_record.CharacterNames + 22, 'q', 16);
  adv().RestoreCharNames();
  EXPECT_EQ(names[1].name, std::string(15, 'q'));
}

TEST_F(SnapshotTest, SceneResetEmptiesTheTextBoxInItsPlace) {
  adv().text_box.SetPosition(10, 20);
  adv().text_box.SetNamePlate(true);
  adv().text_box.SetLine(0, "abc");
  adv().SceneReset();
  EXPECT_EQ(adv().text_box.X(), 0);
  EXPECT_EQ(adv().text_box.Y(), 444);
  EXPECT_FALSE(adv().text_box.NamePlate());
  EXPECT_TRUE(adv().text_box.Line(0).empty());
}

}  // namespace
