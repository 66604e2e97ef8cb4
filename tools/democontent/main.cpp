// democontent: generates the demo game's pictures from code, as plain files in the layout the
// packing step expects: OUTDIR/<archive>/<entry path> (OUTDIR/system/SYSTEM/systex1.png becomes
// the entry "SYSTEM\systex1.png" of system.pkd). The sounds (sounds.cpp) are loose files, under
// OUTDIR/files/SOUND/, and so are the movies (movies.cpp), under OUTDIR/files/MOVIE/; both are
// copied next to the archives.
//
//   democontent OUTDIR
//
// Each picture is one recipe in kRecipes: where it goes, its size, how it is stored, and a paint
// function (art_interface.cpp, art_scene.cpp). Every picture is painted in 32-bit colour; the
// store step turns it into what the engine reads: a PNG with or without alpha, a 16-bit texel
// PNG (A4R4G4B4 texels for the glyph sheets) or a 4-bit bitmap of levels (the special glyphs).
// Exit codes: 0 success, 1 a file could not be written, 2 wrong usage.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "art.h"
#include "resource/image.h"
#include "resource/png_encode.h"
#include "movies.h"
#include "sounds.h"

namespace {

namespace stdfs = std::filesystem;

enum class Store {
  Rgb,       // PNG without alpha
  Rgba,      // PNG with alpha
  Texels16,  // 16-bit greyscale PNG whose samples are A4R4G4B4 texels
  Levels4,   // 4-bit bitmap, 118-byte header and 16 grey palette entries; the alpha as level
};

struct Recipe {
  std::string path;  // under OUTDIR: <archive>/<entry path with '/'>
  int width;
  int height;
  Store store;
  std::function<void(Painter&)> paint;
};

std::vector<Recipe> Recipes() {
  std::vector<Recipe> r = {
      {"system/SYSTEM/systex1.png", 256, 256, Store::Rgba, PaintSystex1},
      {"system/SYSTEM/systex2.png", 256, 256, Store::Rgba, PaintSystex2},
      {"system/SYSTEM/systex3.png", 256, 256, Store::Rgba, PaintSystex3},
      {"system/SYSTEM/dialog_base1.png", 256, 256, Store::Rgba, PaintDialogArt},
      {"system/SYSTEM/battle_select.png", 704, 192, Store::Rgba, PaintBattleSelect},
      {"system/SYSTEM/blank.png", 800, 600, Store::Rgb, PaintBlank},
      {"system/SYSTEM/TITLE/title.png", 800, 600, Store::Rgb, PaintTitle},
      {"files/SYSTEM/menu.png", 256, 256, Store::Rgba, PaintMenu},  // read from the game folder
      {"system/SYSTEM/option_flag.png", 256, 256, Store::Rgba, PaintOptionFlag},
      {"system/textbox/textbox_bg1.png", 256, 256, Store::Rgba, PaintTextBox1},
      {"system/textbox/textbox_bg2.png", 256, 256, Store::Rgba, PaintTextBox2},
      {"system/textbox/text_table1.png", 256, 256, Store::Texels16, PaintCursorFrames},
      {"system/textbox/default_font.bmp", 128, 128, Store::Levels4, PaintSpecialGlyphs},
      {"grp/BG/bg01.png", 800, 600, Store::Rgb, PaintDusk},
      {"grp/BG/bg02.png", 800, 600, Store::Rgb, PaintNightTown},
      {"grp/BG/bg03.png", 800, 600, Store::Rgb, PaintStreet},
      {"grp/BG/bg04.png", 800, 600, Store::Rgb, PaintRoom},
      {"grp/BG/bg05.png", 800, 600, Store::Rgb, PaintRiverside},
  };
  // Characters: "CHR\<name>01.png" the everyday face, "<name>02.png" the strong feeling.
  const struct {
    const char* name;
    Person who;
  } people[] = {{"akane", Person::Akane}, {"hina", Person::Hina}, {"mio", Person::Mio}};
  for (const auto& person : people)
    for (int expression = 0; expression < 2; ++expression)
      r.push_back({std::string("grp/CHR/") + person.name + "0" + std::to_string(expression + 1) +
                       ".png",
                   512, 600, Store::Rgba, [person, expression](Painter& p) {
                     PaintCharacter(p, person.who, expression);
                   }});
  for (int item = 0; item < kTitleItemCount; ++item)
    r.push_back({"system/SYSTEM/TITLE/" + std::to_string(item) + ".png", 256, 48, Store::Rgba,
                 [item](Painter& p) { PaintTitleItem(p, item); }});
  // The town map: "SYSTEM\TOWN\SD<n><a|b>.png" is character n − 1's icon in frame a or b.
  r.push_back({"system/SYSTEM/townmap.png", 800, 600, Store::Rgb, PaintTownMap});
  for (int c = 0; c < kTownCharacterCount; ++c)
    for (int frame = 0; frame < 2; ++frame)
      r.push_back({"system/SYSTEM/TOWN/SD" + std::to_string(c + 1) + (frame ? "b" : "a") + ".png",
                   96, 96, Store::Rgba, [c, frame](Painter& p) { PaintTownIcon(p, c, frame); }});
  for (int place = 0; place < kTownPlaceCount; ++place)
    r.push_back({std::string("system/SYSTEM/TOWN/") + kTownPlaceKeys[place] + ".png", 320, 96,
                 Store::Rgba, [place](Painter& p) { PaintTownCaption(p, place); }});
  // The setup medium's pictures, an archive of their own (data.pkd).
  r.push_back({"setup/bg.png", 480, 360, Store::Rgb, PaintSetupBackground});
  const struct {
    const char* name;
    int width, height;
    const char* label;
  } buttons[] = {{"install", 128, 22, "インストール"}, {"uninstall", 128, 22, "アンインストール"},
                 {"change", 48, 24, "変更"},          {"next", 48, 24, "次へ"},
                 {"back", 48, 24, "戻る"},            {"go_install", 80, 24, "スタート"},
                 {"exit", 200, 24, "終了"}};
  for (const auto& b : buttons)
    for (bool lit : {false, true})
      r.push_back({std::string("setup/") + b.name + (lit ? "_s" : "") + ".png", b.width, b.height,
                   Store::Rgb, [b, lit](Painter& p) { PaintSetupButton(p, b.label, lit); }});
  for (int frame = 0; frame < 4; ++frame)
    r.push_back({"grp/CHR/lantern" + std::to_string(frame + 1) + ".png", 512, 600, Store::Rgba,
                 [frame](Painter& p) { PaintLanternFrame(p, frame); }});
  // The galleries: each ending's event picture, its picture-gallery thumbnail (group + 1, number)
  // and its memory thumbnail (heroine + 1, memory), the locked pictures and the heroines.
  const struct {
    const char* picture;
    const char* gallery_thumb;
    const char* memory_thumb;
    GalleryScene scene;
  } events[] = {
      {"ev_mirel01", "thumb1-01", "thumb1-02", GalleryScene::Window},
      {"ev_ondine01", "thumb2-01", "thumb2-01", GalleryScene::Hand},
      {"ev_carys01", "thumb3-01", "thumb3-01", GalleryScene::Search},
      {"ev_etc01", "thumb5-01", "thumb1-01", GalleryScene::Fireworks},
  };
  for (const auto& e : events) {
    const GalleryScene scene = e.scene;
    r.push_back({std::string("grp/BG/") + e.picture + ".png", 800, 600, Store::Rgb,
                 [scene](Painter& p) { PaintEventPicture(p, scene); }});
    r.push_back({std::string("thumb/CGMODE/") + e.gallery_thumb + ".png", 208, 156, Store::Rgb,
                 [scene](Painter& p) { PaintGalleryThumbnail(p, scene); }});
    r.push_back({std::string("thumb/OMOIDE/") + e.memory_thumb + ".png", 160, 120, Store::Rgb,
                 [scene](Painter& p) { PaintGalleryThumbnail(p, scene); }});
  }
  r.push_back({"thumb/CGMODE/no_release.png", 208, 156, Store::Rgb, PaintNotReleased});
  r.push_back({"thumb/OMOIDE/no_release.png", 160, 120, Store::Rgb, PaintNotReleased});
  const char* heroines[4] = {"mirel", "ondine", "carys", "juno"};
  for (int h = 0; h < 4; ++h)
    r.push_back({std::string("grp/CHR/") + heroines[h] + "A01A.png", 512, 600, Store::Rgba,
                 [h](Painter& p) { PaintHeroine(p, h); }});
  return r;
}

// A4R4G4B4: four bits of each of alpha, red, green and blue.
CImage16 ToTexels(const CImage32& image) {
  CImage16 texels;
  texels.Create(image.Width(), image.Height());
  const uint8_t* px = image.Pixels();
  for (int i = 0; i < image.Width() * image.Height(); ++i, px += 4) {
    auto nibble = [](uint8_t v) { return static_cast<uint16_t>((v * 15 + 127) / 255); };
    texels.Pixels()[i] = static_cast<uint16_t>(nibble(px[3]) << 12 | nibble(px[2]) << 8 |
                                               nibble(px[1]) << 4 | nibble(px[0]));
  }
  return texels;
}

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A 4-bit bitmap file: file header, 40-byte info header, 16 grey palette entries (118 bytes in
// all), then the rows bottom-up, two pixels a byte with the left one in the high nibble. Each
// pixel's value is its alpha as a level 0-15.
std::vector<uint8_t> ToLevels4(const CImage32& image) {
  const int w = image.Width(), h = image.Height();
  const uint32_t row_bytes = static_cast<uint32_t>((w + 7) / 8 * 4);
  const uint32_t pixel_bytes = row_bytes * static_cast<uint32_t>(h);
  std::vector<uint8_t> b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, 118 + pixel_bytes);
  Put32(b, 0);
  Put32(b, 118);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);   // planes
  Put16(b, 4);   // bits per pixel
  Put32(b, 0);   // no compression
  Put32(b, pixel_bytes);
  Put32(b, 2835);  // 72 dots per inch
  Put32(b, 2835);
  Put32(b, 16);
  Put32(b, 16);
  for (int level = 0; level < 16; ++level) {
    const uint8_t grey = static_cast<uint8_t>(level * 17);
    b.insert(b.end(), {grey, grey, grey, 0});
  }
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(row_bytes, 0);
    for (int x = 0; x < w; ++x) {
      const uint8_t alpha = image.Pixels()[(static_cast<size_t>(y) * w + x) * 4 + 3];
      const uint8_t level = static_cast<uint8_t>((alpha * 15 + 127) / 255);
      row[x / 2] |= x % 2 ? level : level << 4;
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

bool WriteBytes(const stdfs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool Make(const stdfs::path& out_dir, const Recipe& recipe) {
  CImage32 image;
  if (!image.Create(recipe.width, recipe.height)) return false;
  Painter painter(image);
  recipe.paint(painter);
  const stdfs::path target = out_dir / recipe.path;
  std::error_code error;
  stdfs::create_directories(target.parent_path(), error);
  if (error) return false;
  switch (recipe.store) {
    case Store::Rgb:
    case Store::Rgba:
      return SavePNG(target.string(), image.Pixels(), image.Width(), image.Height(),
                     static_cast<size_t>(image.Width()) * 4,
                     recipe.store == Store::Rgb ? PngChannels::Rgb : PngChannels::Rgba);
    case Store::Texels16: {
      const auto png = EncodePNG16(ToTexels(image));
      return png && WriteBytes(target, *png);
    }
    case Store::Levels4:
      return WriteBytes(target, ToLevels4(image));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: democontent OUTDIR\n");
    return 2;
  }
  const stdfs::path out_dir = argv[1];
  int failed = 0;
  for (const Recipe& recipe : Recipes()) {
    if (!Make(out_dir, recipe)) {
      std::fprintf(stderr, "democontent: cannot write %s\n", (out_dir / recipe.path).c_str());
      ++failed;
    }
  }
  failed += MakeSounds(out_dir / "files");
  failed += MakeMovies(out_dir / "files");
  return failed ? 1 : 0;
}
