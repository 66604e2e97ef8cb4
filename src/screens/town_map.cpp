// The town map's schedule, pictures, cubes, hovering, popup and choice (see town_map.h).
#include "screens/town_map.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/stream_sound.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "save/save_record.h"
#include "script/script.h"
#include "script/script_log.h"
#include "resource/picture_loader.h"

namespace town {

const std::array<PlaceInfo, kPlaceCount> kPlaces = {{
    {"convini", 604, 388, -1, -1},
    {"hamabe", 181, 150, 1, 1},
    {"ekimae", 96, 331, 1, -1},
    {"gamecenter", 340, 306, 1, -1},
    {"yotsuya", 709, 231, -1, 1},
    {"myhome", 472, 429, -1, -1},
    {"carshop", 460, 102, -1, 1},
    {"park", 560, 224, -1, 1},
    {"shopingmoal", 262, 477, 1, -1},
}};

const std::array<std::array<float, 2>, kMarkerCount> kMarkers = {{
    {-10.2f, -9.5f},
    {11, 17},
    {15.5f, -3.5f},
    {3, -1},
    {-15.5f, 8},
    {-3.5f, -14.5f},
    {-3, 22},
    {-8, 8},
    {7, -19},
    {18, -28},
}};

const uint8_t kHeroineAvailable[4][kDays][kChoicesPerDay] = {
    {{1, 0}, {0, 1}, {0, 1}, {0, 1}, {1, 0}, {0, 0}, {0, 1}, {1, 1}, {0, 1}, {1, 1}},
    {{0, 0}, {1, 0}, {1, 0}, {1, 0}, {0, 1}, {0, 0}, {1, 0}, {0, 1}, {1, 1}, {1, 1}},
    {{1, 0}, {0, 0}, {1, 0}, {1, 0}, {1, 0}, {0, 0}, {1, 1}, {0, 1}, {1, 0}, {1, 1}},
    {{0, 0}, {1, 0}, {0, 0}, {0, 1}, {0, 1}, {0, 0}, {0, 1}, {1, 1}, {1, 1}, {1, 1}},
};

const uint8_t kHeroinePlace[4][kVisitColumns] = {
    {0, 7, 0, 4, 2, 1, 6, 0, 8, 3, 0, 10, 10, 10, 10, 10, 10, 10, 10, 10},
    {2, 8, 3, 3, 1, 7, 3, 5, 5, 5, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10},
    {1, 0, 2, 7, 7, 7, 2, 7, 0, 2, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10},
    {4, 4, 4, 4, 8, 8, 1, 7, 5, 5, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10},
};

const uint8_t kGuideAvailable[kDays] = {0, 1, 1, 1, 1, 0, 1, 1, 1, 1};

const uint8_t kGuidePlace[kDays][kChoicesPerDay] = {
    {10, 10}, {1, 0}, {3, 6}, {4, 8}, {3, 2}, {10, 10}, {4, 6}, {0, 1}, {8, 7}, {4, 2},
};

platform::Point IconOffset(int n, int s) {
  static constexpr platform::Point kOffsets[4][4] = {
      {{-48, -48}},
      {{-96, -48}, {0, -48}},
      {{-48, -96}, {-96, 0}, {0, 0}},  // one above, two below
      {{-96, -96}, {0, -96}, {-96, 0}, {0, 0}},
  };
  if (n < 1 || n > 4 || s < 0 || s >= n) return {};
  return kOffsets[n - 1][s];
}

}  // namespace town

using namespace town;

namespace {

struct Texts {
  std::string map_failed = SJ("SYSTEM\\townmap.pngの読み込みに失敗しました。");
  std::string texture_failed = SJ("town_tex テクスチャーの作成に失敗しました。");
  std::string picture_failed = SJ("%sの読み込みに失敗しました。");
  std::string script_loaded = SJ("スクリプト %s ロード。");
  std::string script_failed = SJ("%sのロードに失敗しました。");
  std::string guide_variable = SJ("ウレナの場所設定用変数($[99]=%d)が異常。");
  // The place's own caption: name, address, telephone. The town and its numbers are made up.
  std::array<std::string, kPlaceCount> captions = {
      SJ("ファミリーストア 灯町三丁目店\n灯町三丁目 4-12\nTEL 00-2100-0412"),
      SJ("灯ヶ浜海岸 海の家\n灯町浜辺一丁目\nTEL 00-2100-1100"),
      SJ("灯町駅前ロータリー\n灯町駅前 2-1\nTEL 00-2100-0002"),
      SJ("ゲームセンター ルミナ\n灯町銀座通り 5-8\nTEL 00-2200-5858"),
      SJ("四ツ谷峠 展望駐車場\n灯町四ツ谷 峠口\nTEL 00-2900-4040"),
      SJ("自宅\n灯町緑ヶ丘 6-3\nTEL 00-2300-0603"),
      SJ("風見モータース\n灯町バイパス沿い 7-20\nTEL 00-2400-7720"),
      SJ("灯町中央公園\n灯町本町 1-1\nTEL 00-2100-1111"),
      SJ("ショッピングモール ランタン\n灯町港北 8-8\nTEL 00-2500-8800"),
  };
};
const Texts& T() {
  static const Texts texts;
  return texts;
}

constexpr const char* kWhere = "CADV::Town_init";
constexpr const char* kMusic = "SOUND\\BGM\\RZ_MAP.ogg";
constexpr const char* kMapPicture = "SYSTEM\\townmap.png";

// Copies the 16 × 16 block at (sx, sy) of `picture` into the tile's cell of `page`, clipped to
// the picture (the map's last row is 8 pixels high); the rest of the cell is cleared.
void PlaceTile(CImage32& page, const CImage32& picture, int tile, int sx, int sy) {
  const int cell = tile % kTilesPerPage;
  const int x = 16 * (cell % 16), y = 16 * (cell / 16);
  for (int row = 0; row < 16; ++row)
    std::memset(page.Pixels() + (static_cast<size_t>(y + row) * 256 + x) * 4, 0, 16 * 4);
  const int w = std::min(16, picture.Width() - sx), h = std::min(16, picture.Height() - sy);
  if (w > 0 && h > 0) page.CopyRect(picture, x, y, w, h, sx, sy);
}

// Saturating +1, so a counter a script set to the largest value does not turn negative.
int32_t Increment(int32_t v) { return v == INT32_MAX ? v : v + 1; }

}  // namespace

const std::string& TownMap::CaptionText(int place) {
  return T().captions[static_cast<size_t>(std::clamp(place, 0, kPlaceCount - 1))];
}

TownMap::TownMap(CGraphics& graphics, const CPackFile& archive, SaveRecord& record,
                 CScript& script, CStreamSound& music, const CTexture& marker_art)
    : graphics_(graphics),
      archive_(archive),
      record_(record),
      script_(script),
      music_(music),
      marker_art_(marker_art) {}

// ---------------------------------------------------------------------------------------------
// Set-up

void TownMap::Init(PictureLoader& pictures) {
  gfx::Device& device = graphics_.Device();
  bool created = true;
  for (CTexture& t : atlas_) created &= t.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8);
  if (!created) WriteLog(2, T().texture_failed, kWhere, 0);
  LoadPictures(pictures);
  plain_.Init(0, 0, 8, 8);
  plain_.SetColor(kPopupRgb);
  plain_.SetDevice(&device);
  SubCubeVertexInit();
  cube_angle_ = 0;
  SetPlace();
}

std::vector<PictureLoader::Wanted> TownMap::PictureOrder() const {
  std::vector<PictureLoader::Wanted> order = {{&archive_, kMapPicture}};
  for (const char frame : {'a', 'b'})
    for (int c = 1; c <= kCharacterCount; ++c) {
      char name[40];
      std::snprintf(name, sizeof name, "SYSTEM\\TOWN\\SD%d%c.png", c, frame);
      order.push_back({&archive_, name});
    }
  for (const PlaceInfo& place : kPlaces)
    order.push_back({&archive_, std::string("SYSTEM\\TOWN\\") + place.key + ".png"});
  return order;
}

void TownMap::LoadPictures(PictureLoader& pictures) {
  gfx::Device& device = graphics_.Device();
  CImage32 page;
  page.Create(256, 256);
  tile_count_ = 0;

  // Cuts a picture into columns × rows tiles appended to the atlas; a full page is uploaded.
  auto cut = [&](const CImage32& picture, int columns, int rows) {
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < columns; ++j) {
        const int tile = tile_count_++;
        const int p = tile / kTilesPerPage, cell = tile % kTilesPerPage;
        PlaceTile(page, picture, tile, 16 * j, 16 * i);
        const float u = static_cast<float>(cell % 16) / 16.0f;
        const float v = static_cast<float>(cell / 16) / 16.0f;
        CSprite& s = tiles_[static_cast<size_t>(tile)];
        s.Init(0, 0, 16, 16, u, v, u + 1.0f / 16, v + 1.0f / 16, &atlas_[static_cast<size_t>(p)]);
        s.SetDevice(&device);
        if (cell == kTilesPerPage - 1) atlas_[static_cast<size_t>(p)].Upload(page.Pixels());
      }
  };
  // The pictures in the order they are read; the loader's workers decode the next ones while
  // the ones before are cut.
  const std::vector<PictureLoader::Wanted> order = PictureOrder();
  size_t next = 0;
  auto take = [&](const std::string& name, CImage32& picture) {
    pictures.Expect(std::span(order).subspan(next));  // this one and those after it
    const int result = pictures.Load(archive_, name, picture);
    if (next < order.size() && order[next].name == name) ++next;
    return result;
  };
  // A missing picture is logged and leaves its tiles empty.
  auto load = [&](const std::string& name, int columns, int rows) {
    CImage32 picture;
    if (take(name, picture) != 0)
      WriteLog(2, ScriptFormat(T().picture_failed.c_str(), name.c_str()), kWhere, 0);
    cut(picture, columns, rows);
  };

  map_first_ = tile_count_;
  CImage32 map;
  if (take(kMapPicture, map) != 0) {
    WriteLog(2, T().map_failed, kWhere, 0);
    map.Create(800, 600);
  }
  cut(map, kMapColumns, kMapRows);

  icon_first_ = tile_count_;
  for (size_t i = 1; i <= 2 * kCharacterCount; ++i) load(order[i].name, kIconTiles, kIconTiles);

  caption_first_ = tile_count_;
  for (size_t i = 1 + 2 * kCharacterCount; i < order.size(); ++i)
    load(order[i].name, kCaptionColumns, kCaptionRows);
  if (tile_count_ % kTilesPerPage != 0)
    atlas_[static_cast<size_t>(tile_count_ / kTilesPerPage)].Upload(page.Pixels());
}

void TownMap::SubCubeVertexInit() {
  // One four-vertex strip per face: outward normal, corners at ±1, texture corners 0/1.
  struct Face {
    gfx::Vec3 normal, u, v;  // the strip runs along u first, then v
  };
  static constexpr Face kFaces[6] = {
      {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},  // front
      {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},  // back
      {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},   // right
      {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, // left
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},    // top
      {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},  // bottom
  };
  int k = 0;
  for (const Face& f : kFaces)
    for (int corner = 0; corner < 4; ++corner) {
      const float su = corner % 2 ? 1.0f : -1.0f, sv = corner / 2 ? 1.0f : -1.0f;
      cube_[static_cast<size_t>(k++)] = {
          f.normal.x + su * f.u.x + sv * f.v.x,
          f.normal.y + su * f.u.y + sv * f.v.y,
          f.normal.z + su * f.u.z + sv * f.v.z,
          f.normal.x,
          f.normal.y,
          f.normal.z,
          static_cast<float>(corner % 2),
          static_cast<float>(corner / 2)};
    }
  cube_ready_ = true;
}

// ---------------------------------------------------------------------------------------------
// The schedule

TownMap::Column TownMap::TodayColumn() const {
  const int day = record_.TownDay, choice = record_.TownChoicesToday;
  Column c{std::clamp(day, 0, kDays - 1), std::clamp(choice, 0, kChoicesPerDay - 1)};
  if (c.day != day || c.choice != choice)
    WriteLog(1,
             ScriptFormat("day index %d, choice %d lies outside the schedule: the map shows day "
                          "index %d, choice %d",
                          day, choice, c.day, c.choice),
             "CADV::Town_SetPlace", 0);
  return c;
}

void TownMap::AddCharacter(int place, int character) {
  if (place < 0 || place >= kPlaceCount) return;  // kNowhere
  Place& p = places_[static_cast<size_t>(place)];
  for (int& slot : p.slots)
    if (slot < 0) {
      slot = character;
      ++p.count;
      return;
    }
}

void TownMap::SetPlace() {
  places_.fill(Place{});
  const Column today = TodayColumn();
  for (int c = 0; c < 4; ++c) {
    int v = record_.FavourVariables[c];
    if (v < 0) {
      WriteLog(1, ScriptFormat("character %d has %d visits: counted as 0", c, v),
               "CADV::Town_SetPlace", 0);
      v = 0;
    }
    if (record_.TownDay >= 6 && v <= 2) continue;
    if (!kHeroineAvailable[c][today.day][today.choice]) continue;
    AddCharacter(v < kVisitColumns ? kHeroinePlace[c][v] : kNowhere, c);
  }
  if (kGuideAvailable[today.day]) {
    int32_t& selector = record_.LocalVariables[99];
    if (selector != 0 && selector != 1) {
      WriteLog(2, ScriptFormat(T().guide_variable.c_str(), selector), "CADV::Town_SetPlace", 0);
      selector = 0;
    }
    AddCharacter(kGuidePlace[today.day][today.choice], kGuide);
  }
  hover_.fade = 0;
}

void TownMap::PlayMusic() {
  music_.Stop();
  if (music_.Open(kMusic) == 0 && music_.Play(true)) {
    WriteLog(0, ScriptFormat("BGM loaded.. [%s]", kMusic), "CADV::Town_Proc", 0);
  } else {
    WriteLog(2, ScriptFormat("the map's music %s cannot be played", kMusic), "CADV::Town_Proc",
             0);
  }
}

void TownMap::QueueContinuation() {
  const int day = record_.TownDay;
  char* pending = record_.TownPendingScript;
  std::memset(pending, 0, sizeof record_.TownPendingScript);
  // Days 0 and 5 offer one choice: the day always goes on with its second part.
  const int part = day == 0 || day == 5 ? 2 : record_.TownChoicesToday + 1;
  std::snprintf(pending, sizeof record_.TownPendingScript, "SCP\\%02d-%d.scp", day + 1, part);
}

bool TownMap::Proc(bool left_held) {
  if (!hover_.hovered || !left_held) return false;
  const int c = hover_.character;
  if (c < 0 || c >= kCharacterCount) return false;
  music_.FadeOut(1);
  int32_t& visits = record_.FavourVariables[c];
  visits = Increment(visits);
  record_.TownChoicesToday = Increment(record_.TownChoicesToday);

  char name[64];
  if (c == kGuide) {
    std::snprintf(name, sizeof name, "SCP\\wrenna%02d%c.scp", record_.TownDay + 1,
                  record_.TownChoicesToday == 1 ? 'a' : 'b');
  } else {
    std::snprintf(name, sizeof name, "SCP\\Ev-%d-%02d.scp", c + 1, visits);
  }
  // The record's own choice count now names the next part: part 2 after the first choice.
  QueueContinuation();
  if (script_.Load(name)) {
    WriteLog(0, ScriptFormat(T().script_loaded.c_str(), name), "CADV::Town_Proc", 0);
    return true;
  }
  WriteLog(2, ScriptFormat(T().script_failed.c_str(), name), "CADV::Town_Proc", 0);
  // Without its event the day goes on at once with the continuation.
  const std::string next(record_.TownPendingScript);
  std::memset(record_.TownPendingScript, 0, sizeof record_.TownPendingScript);
  if (!script_.Load(next))
    WriteLog(2, ScriptFormat(T().script_failed.c_str(), next.c_str()), "CADV::Town_Proc", 0);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Drawing

void TownMap::DrawTile(int tile, float x, float y, int alpha) {
  if (tile < 0 || tile >= tile_count_) return;
  CSprite& s = tiles_[static_cast<size_t>(tile)];
  s.SetAlpha(alpha);
  s.Draw(graphics_.Device(), x, y, 16, 16);
}

void TownMap::DrawCube(int marker) {
  gfx::Device& device = graphics_.Device();
  const float radians = cube_angle_ * 0.0174533f;
  const auto& position = kMarkers[static_cast<size_t>(marker)];
  device.SetTransform(gfx::TransformType::View,
                      gfx::D3DXMatrixLookAtRH({0, 20, -40}, {0, 0, 0}, {0, 1, 0}));
  device.SetTransform(gfx::TransformType::World,
                      gfx::D3DXMatrixMultiply(gfx::D3DXMatrixRotationY(-radians),
                                              gfx::D3DXMatrixTranslation(position[0], 0,
                                                                         position[1])));
  device.SetLighting(true);
  device.SetAmbient(0xFFFFFFFFu);
  gfx::Material m;
  m.diffuse = {0.251f, 0.753f, 1.0f, 1};
  m.emissive = {0.3f, 0.3f, 0.3f, 1};
  if (marker == hover_.place) {
    m.diffuse = {1.0f, 0.251f, 0.251f, 1};
  } else if (marker == kMarkerCount - 1) {
    m.diffuse = {1, 1, 1, 1};
    m.emissive = {1, 1, 1, 1};
  }
  device.SetMaterial(m);
  for (int face = 0; face < 6; ++face) {
    const bool textured = marker == kMarkerCount - 1 && face >= 1 && marker_art_.Ready();
    device.SetTexture(textured ? marker_art_.Interface() : nullptr);
    device.DrawPrimitive(gfx::PrimitiveType::TriangleStrip, 4 * face, 2);
  }
  device.SetLighting(false);
}

void TownMap::Flip(platform::Point pointer, uint32_t elapsed) {
  gfx::Device& device = graphics_.Device();
  // 1-2. The cube's vertices and the map.
  if (cube_ready_) device.SetStreamSource(cube_);
  for (int i = 0; i < kMapRows; ++i)
    for (int j = 0; j < kMapColumns; ++j)
      DrawTile(map_first_ + kMapColumns * i + j, 16.0f * j, 16.0f * i, 255);

  // 3-4. The markers in the orthographic projection, turning 36° a second.
  if (cube_ready_) {
    device.SetTransform(gfx::TransformType::Projection, graphics_.OrthoProjection());
    device.SetAlphaBlendEnable(true);
    device.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
    for (int k = 0; k < kMarkerCount; ++k) DrawCube(k);
    device.SetTransform(gfx::TransformType::View, graphics_.View());
    device.SetTexture(nullptr);
  }
  cube_angle_ = std::fmod(cube_angle_ + static_cast<float>(elapsed) * 0.1f, 360.0f);

  // 5. The icons and the popup in front of the cubes.
  device.SetTransform(gfx::TransformType::Projection, graphics_.PerspectiveProjection());
  device.SetSpriteDepth(0.0f);
  DrawOverlay(pointer, elapsed);
  device.SetSpriteDepth(0.9f);
}

void TownMap::DrawOverlay(platform::Point pointer, uint32_t elapsed) {
  hover_.hovered = false;
  const int frame = icon_timer_ < static_cast<uint32_t>(kIconFrameMs) ? 0 : 1;
  for (int p = 0; p < kPlaceCount; ++p) {
    const Place& place = places_[static_cast<size_t>(p)];
    for (int s = 0; s < place.count; ++s) {
      const int c = place.slots[static_cast<size_t>(s)];
      if (c < 0 || c >= kCharacterCount) continue;
      const platform::Point offset = IconOffset(place.count, s);
      const int ix = kPlaces[static_cast<size_t>(p)].x + offset.x;
      const int iy = kPlaces[static_cast<size_t>(p)].y + offset.y;
      const int first = icon_first_ + (frame * kCharacterCount + c) * kIconTiles * kIconTiles;
      for (int i = 0; i < kIconTiles; ++i)
        for (int j = 0; j < kIconTiles; ++j)
          DrawTile(first + kIconTiles * i + j, static_cast<float>(ix + 16 * j),
                   static_cast<float>(iy + 16 * i), 255);
      // The 4 × 4 box at the pointer meets the icon.
      if (pointer.x < ix + kIconSize && ix < pointer.x + 4 && pointer.y < iy + kIconSize &&
          iy < pointer.y + 4) {
        hover_.place = p;
        hover_.slot = s;
        hover_.character = c;
        hover_.icon_x = ix;
        hover_.icon_y = iy;
        hover_.hovered = true;
        if (!hover_.armed) {
          hover_.fade = 0;
          hover_.armed = true;
        }
      }
    }
  }
  icon_timer_ = (icon_timer_ + elapsed) % (2 * kIconFrameMs);
  // In over 320 ms, out over 800 ms.
  if (hover_.hovered) {
    hover_.fade = std::min(kFadeFull, hover_.fade + static_cast<float>(elapsed) * 0.5f);
  } else {
    hover_.fade = std::max(0.0f, hover_.fade - static_cast<float>(elapsed) * 0.2f);
    hover_.armed = false;
  }
  if (hover_.fade > 0 && hover_.place >= 0) DrawPopup(elapsed);
}

void TownMap::DrawPopup(uint32_t elapsed) {
  gfx::Device& device = graphics_.Device();
  const PlaceInfo& place = kPlaces[static_cast<size_t>(hover_.place)];
  const int dx = place.dx, dy = place.dy;
  const int ix = hover_.icon_x, iy = hover_.icon_y;
  const int alpha = static_cast<int>(hover_.fade);

  // The balloon: its base V1-V0 on the panel's edge, its tip V2 at the icon's corner.
  const float v1x = static_cast<float>(ix + 80 * dx + (dx > 0 ? 48 : 0));
  const float v1y = static_cast<float>(iy + 42 * dy + (dy > 0 ? 96 : 0));
  const float v0x = v1x + 40, v0y = v1y;
  const float v2x = static_cast<float>(ix + (dx > 0 ? 96 : 0));
  const float v2y = static_cast<float>(iy + (dy > 0 ? 96 : 0));
  plain_.SetAlpha(alpha);
  plain_.DrawQuad(device, v1x, v1y, v0x, v0y, v2x, v2y, v2x, v2y);

  const float px = v1x - (dx < 0 ? 200.0f : 40.0f);
  const float py = v1y - (dy < 0 ? 160.0f : 0.0f);
  plain_.Draw(device, px - 8, py, 336, 160);

  // The outline: from the balloon's base round its tip, then round the panel from the corner on
  // the base's edge beyond V0, back to V1. The base's edge is the top when the balloon hangs
  // above the panel's top (dy > 0), else the bottom.
  const float left = px - 8, right = px + 328, edge = v1y, far = dy > 0 ? py + 160 : py;
  const gfx::LinePoint outline[8] = {
      {v1x, v1y}, {v2x, v2y}, {v0x, v0y}, {right, edge},
      {right, far}, {left, far}, {left, edge}, {v1x, v1y},
  };
  graphics_.Line().Draw(device, outline, 8, static_cast<uint32_t>(alpha) << 24 | 0xFFFFFFu,
                       static_cast<int>(elapsed));

  // The caption picture and the place's own text.
  const int picture_alpha = std::min(255, static_cast<int>(hover_.fade * 1.6f));
  const int first = caption_first_ + hover_.place * kCaptionColumns * kCaptionRows;
  for (int i = 0; i < kCaptionRows; ++i)
    for (int j = 0; j < kCaptionColumns; ++j)
      DrawTile(first + kCaptionColumns * i + j, px + 16.0f * j, py + 8 + 16.0f * i,
               picture_alpha);
  const int text_alpha = static_cast<int>(hover_.fade * 1.59375f);
  const int x = static_cast<int>(px), y = static_cast<int>(py);
  graphics_.DrawText(kFont14, CaptionText(hover_.place), {x + 16, y + 112, x + 312, y + 192},
                     static_cast<uint32_t>(text_alpha) << 24 | 0xFFFFFFu, DT_RIGHT);
}
