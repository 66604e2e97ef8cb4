#include "platform/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/log.h"
#include "platform/sjis.h"
#include "platform/text_converter.h"

namespace platform {
namespace {

// The face table. The game names the Windows faces; each maps to the installed families tried in
// order. The fixed-width face is the glyph-cell font, so its list prefers monospaced variants.
struct FaceEntry {
  const char* windows_name;  // UTF-8
  const char* ascii_name;  // the same face under its English name
  std::array<const char*, 5> families;
};

constexpr FaceEntry kFaceTable[] = {
    {"ＭＳ Ｐゴシック",
     "MS PGothic",
     {"IPAPGothic", "IPAexGothic", "Noto Sans CJK JP", "VL PGothic", "VL Gothic"}},
    {"ＭＳ ゴシック",
     "MS Gothic",
     {"IPAGothic", "IPAexGothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP", "VL Gothic"}},
};

struct FtLibraryDone {
  void operator()(FT_Library l) const { FT_Done_Library(l); }
};
struct FtFaceDone {
  void operator()(FT_Face f) const { FT_Done_Face(f); }
};
struct FtSizeDone {
  void operator()(FT_Size s) const { FT_Done_Size(s); }
};
struct FcConfigDone {
  void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
struct FcPatternDone {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using FtLibraryPtr = std::unique_ptr<FT_LibraryRec_, FtLibraryDone>;
using FtFacePtr = std::unique_ptr<FT_FaceRec_, FtFaceDone>;
using FtSizePtr = std::unique_ptr<FT_SizeRec_, FtSizeDone>;
using FcConfigPtr = std::unique_ptr<FcConfig, FcConfigDone>;
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternDone>;

// Converts one or more bytes of CP932 to code points; an unconvertible byte becomes '?'.
// `out` keeps its capacity between calls.
void DecodeCp932(const TextConverter& cp932_to_utf32, std::string_view sjis, std::u32string& out) {
  thread_local std::string bytes;
  cp932_to_utf32.Convert(sjis, bytes, std::string_view("?\0\0\0", 4));
  out.clear();
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    auto b = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(bytes[i + k])); };
    out.push_back(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
  }
}

// Family names compare as fontconfig compares them: without case and blanks.
bool SameFamily(std::string_view a, std::string_view b) {
  auto next = [](std::string_view s, size_t& i) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i == s.size()) return -1;
    unsigned char c = static_cast<unsigned char>(s[i++]);
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : static_cast<int>(c);
  };
  size_t i = 0, j = 0;
  for (;;) {
    int x = next(a, i), y = next(b, j);
    if (x != y) return false;
    if (x < 0) return true;
  }
}

// Shift_JIS lead bytes of two-byte characters.
bool IsLeadByte(uint32_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// FreeType counts its allocations through this, so tests can see that rasterising allocates
// nothing in steady state.
void* FtAlloc(FT_Memory memory, long size) {
  static_cast<std::atomic<int64_t>*>(memory->user)->fetch_add(1, std::memory_order_relaxed);
  return std::malloc(static_cast<size_t>(size));
}
void FtFree(FT_Memory, void* block) {
  std::free(block);
}
void* FtRealloc(FT_Memory memory, long, long new_size, void* block) {
  static_cast<std::atomic<int64_t>*>(memory->user)->fetch_add(1, std::memory_order_relaxed);
  return std::realloc(block, static_cast<size_t>(new_size));
}

// One FreeType library, the fontconfig configuration and the opened font files, shared by every
// font while any is alive.
class Library {
 public:
  static std::shared_ptr<Library> Shared() {
    std::lock_guard lock(SlotMutex());
    std::shared_ptr<Library> library = CurrentSlot().lock();
    if (!library) {
      library = std::make_shared<Library>();
      CurrentSlot() = library;
    }
    return library;
  }
  static int64_t Allocations() {
    std::shared_ptr<Library> library = Current();
    return library ? library->allocations_.load() : 0;
  }

  Library() : cp932_to_utf32_("UTF-32LE", "CP932") {
    memory_.user = &allocations_;
    memory_.alloc = FtAlloc;
    memory_.free = FtFree;
    memory_.realloc = FtRealloc;
    FT_Library ft = nullptr;
    if (FT_New_Library(&memory_, &ft) == 0) {
      ft_.reset(ft);
      FT_Add_Default_Modules(ft);
      FT_Set_Default_Properties(ft);
    }
    fc_.reset(FcInitLoadConfigAndFonts());
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool Ok() const { return ft_ && fc_ && cp932_to_utf32_.Ok(); }
  FT_Library Ft() const { return ft_.get(); }
  const TextConverter& Cp932() const { return cp932_to_utf32_; }

  std::optional<FaceMatch> Find(std::string_view face_sjis, bool bold, bool italic) {
    if (!Ok()) {
      WriteLog(2, "the font library did not start (FreeType, fontconfig or iconv)", "FindFace",
               __LINE__);
      return std::nullopt;
    }
    std::string face = SjisToUtf8(face_sjis);
    const FaceEntry* entry = nullptr;
    for (const FaceEntry& e : kFaceTable)
      if (face == e.windows_name || SameFamily(face, e.ascii_name)) entry = &e;
    std::string tried;
    if (entry) {
      for (const char* family : entry->families) {
        if (auto m = MatchFamily(family, bold, italic)) return m;
        tried += tried.empty() ? "" : ", ";
        tried += family;
      }
    } else if (!face.empty()) {
      if (auto m = MatchFamily(face.c_str(), bold, italic)) return m;
      tried = "no other family of that name";
    } else {
      tried = "an empty name";
    }
    std::string text = "no installed font for the face \"";
    text += face_sjis;
    text += "\" (tried " + tried + ")";
    WriteLog(2, text, "FindFace", __LINE__);
    return std::nullopt;
  }

  // The file's face, opened once for all fonts that use it.
  FT_Face OpenFace(const FaceMatch& match) {
    auto key = std::make_pair(match.file, match.index);
    auto it = faces_.find(key);
    if (it != faces_.end()) return it->second.get();
    FT_Face face = nullptr;
    if (FT_New_Face(ft_.get(), match.file.c_str(), match.index, &face) != 0) {
      WriteLog(2, "cannot open the font file " + match.file, "Font::Create", __LINE__);
      return nullptr;
    }
    if (!(face->face_flags & FT_FACE_FLAG_SCALABLE)) {
      FT_Done_Face(face);
      WriteLog(2, "the font file has no outlines: " + match.file, "Font::Create", __LINE__);
      return nullptr;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    faces_.emplace(key, FtFacePtr(face));
    return face;
  }

 private:
  static std::shared_ptr<Library> Current() {
    std::lock_guard lock(SlotMutex());
    return CurrentSlot().lock();
  }
  // Holds the library only while some font does: the last font to go closes it.
  static std::weak_ptr<Library>& CurrentSlot();
  static std::mutex& SlotMutex();
  static const FcChar8* Fc(const char* s) { return reinterpret_cast<const FcChar8*>(s); }

  // The installed font of exactly this family (fontconfig would otherwise offer any fallback),
  // in the bold or italic style when the family has one. What fontconfig reports of the style
  // includes its own synthesis, so the font says for itself what it is (Font::Create).
  std::optional<FaceMatch> MatchFamily(const char* family, bool bold, bool italic) {
    FcPatternPtr pattern(FcPatternCreate());
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern.get(), FC_FAMILY, Fc(family));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    FcConfigSubstitute(fc_.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    FcPatternPtr found(FcFontMatch(fc_.get(), pattern.get(), &result));
    if (!found) return std::nullopt;
    FcChar8* name = nullptr;
    bool same_family = false;
    for (int i = 0; FcPatternGetString(found.get(), FC_FAMILY, i, &name) == FcResultMatch; ++i)
      if (SameFamily(reinterpret_cast<const char*>(name), family)) same_family = true;
    FcChar8* file = nullptr;
    if (!same_family || FcPatternGetString(found.get(), FC_FILE, 0, &file) != FcResultMatch)
      return std::nullopt;
    FaceMatch m;
    m.family = family;
    m.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(found.get(), FC_INDEX, 0, &m.index);
    return m;
  }

  std::atomic<int64_t> allocations_{0};
  FT_MemoryRec_ memory_{};  // must outlive the library
  FtLibraryPtr ft_;
  FcConfigPtr fc_;
  TextConverter cp932_to_utf32_;
  std::map<std::pair<std::string, int>, FtFacePtr> faces_;  // destroyed before ft_
};

std::weak_ptr<Library>& Library::CurrentSlot() {
  static std::weak_ptr<Library> slot;
  return slot;
}

std::mutex& Library::SlotMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

struct Font::Impl {
  std::shared_ptr<Library> library;  // first member: outlives the size below
  FaceMatch face;
  FT_Face ft_face = nullptr;  // owned by the library
  FtSizePtr size;
  FontDesc desc;
  FontMetrics metrics;
  bool embolden = false;
  FT_Pos embolden_strength = 0;  // 26.6
  bool shear = false;
  // Scratch for one glyph, sized at creation for the face's largest glyph.
  int scratch_width = 0;
  int scratch_height = 0;
  std::vector<uint8_t> scratch;
  std::vector<uint8_t> levels;
  std::u32string text;
  struct Placed {
    FT_UInt index;
    int pen_x;
  };
  std::vector<Placed> placed;

  // The ink box of the glyph loaded in the face's slot, in whole pixels (y up from the baseline).
  struct Ink {
    int advance = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
  };

  FT_UInt IndexOf(char32_t c) const { return FT_Get_Char_Index(ft_face, c); }

  // Loads the glyph into the face's slot, emboldened and sheared as the font asks.
  Ink Load(FT_UInt index) {
    Ink ink;
    if (FT_Load_Glyph(ft_face, index, FT_LOAD_NO_BITMAP) != 0) return ink;
    FT_GlyphSlot slot = ft_face->glyph;
    FT_Pos advance = slot->advance.x;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) {
      ink.advance = static_cast<int>((advance + 32) >> 6);
      return ink;
    }
    FT_Outline* outline = &slot->outline;
    if (embolden) {
      FT_Outline_Embolden(outline, embolden_strength);
      advance += embolden_strength;
    }
    if (shear) {
      FT_Matrix m{0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
      FT_Outline_Transform(outline, &m);
    }
    ink.advance = static_cast<int>((advance + 32) >> 6);
    if (outline->n_points == 0) return ink;
    FT_BBox box;
    FT_Outline_Get_CBox(outline, &box);
    ink.x0 = static_cast<int>(box.xMin >> 6);
    ink.y0 = static_cast<int>(box.yMin >> 6);
    ink.x1 = static_cast<int>((box.xMax + 63) >> 6);
    ink.y1 = static_cast<int>((box.yMax + 63) >> 6);
    // A glyph larger than the face's bounding box says would not fit the scratch: keep its
    // bottom-left part rather than allocate.
    ink.x1 = std::min(ink.x1, ink.x0 + scratch_width);
    ink.y1 = std::min(ink.y1, ink.y0 + scratch_height);
    return ink;
  }

  // Rasterises the loaded glyph into the scratch as 8-bit coverage, rows top-down, ink-box wide.
  void Rasterise(const Ink& ink) {
    int w = ink.x1 - ink.x0;
    int h = ink.y1 - ink.y0;
    std::fill_n(scratch.begin(), static_cast<size_t>(w) * h, 0);
    FT_Outline* outline = &ft_face->glyph->outline;
    FT_Outline_Translate(outline, -static_cast<FT_Pos>(ink.x0) * 64,
                         -static_cast<FT_Pos>(ink.y0) * 64);
    FT_Bitmap bitmap{};
    bitmap.rows = static_cast<unsigned>(h);
    bitmap.width = static_cast<unsigned>(w);
    bitmap.pitch = w;
    bitmap.buffer = scratch.data();
    bitmap.num_grays = 256;
    bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
    FT_Outline_Get_Bitmap(library->Ft(), outline, &bitmap);
  }
};

std::optional<FaceMatch> FindFace(std::string_view face_sjis) {
  std::shared_ptr<Library> library = Library::Shared();
  return library->Find(face_sjis, false, false);
}

std::unique_ptr<Font> Font::Create(std::string_view face_sjis, const FontDesc& desc) {
  if (desc.height <= 0 || desc.width < 0) {
    WriteLog(2, "a font needs a positive height and a width of 0 or more", "Font::Create",
             __LINE__);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->library = Library::Shared();
  bool bold = desc.weight >= 600;
  auto match = impl->library->Find(face_sjis, bold, desc.italic);
  if (!match) return nullptr;
  FT_Face face = impl->library->OpenFace(*match);
  if (!face) return nullptr;
  FT_Size size = nullptr;
  if (FT_New_Size(face, &size) != 0) return nullptr;
  impl->size.reset(size);
  FT_Activate_Size(size);

  // The requested height is the line's cell. The Windows faces the game names have a cell equal
  // to their em box; the faces that replace them keep that em box in their typographic metrics
  // (their hhea and win metrics add a line gap), so the typo metrics give glyphs of the size the
  // game's layout was made for.
  double ascender = face->ascender;
  double descender = -face->descender;
  if (TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 && os2->version != 0xFFFF && os2->sTypoAscender > 0 &&
      os2->sTypoAscender - os2->sTypoDescender > 0) {
    ascender = os2->sTypoAscender;
    descender = -os2->sTypoDescender;
  }
  double units_per_em = face->units_per_EM > 0 ? face->units_per_EM : 1000.0;
  if (ascender + descender <= 0) {
    ascender = 0.88 * units_per_em;
    descender = 0.12 * units_per_em;
  }
  double cell = ascender + descender;
  double em_y = desc.height * units_per_em / cell;
  // The game passes half the height as the width, the natural shape of its Japanese faces; only
  // the ratio counts, so a narrower width condenses the face and a face keeps its own shape.
  double em_x = desc.width > 0 ? em_y * 2.0 * desc.width / desc.height : em_y;
  if (FT_Set_Char_Size(face, std::lround(em_x * 64), std::lround(em_y * 64), 72, 72) != 0) {
    WriteLog(2, "the font does not scale to the height", "Font::Create", __LINE__);
    return nullptr;
  }
  impl->face = *match;
  impl->ft_face = face;
  impl->desc = desc;
  impl->metrics.height = desc.height;
  impl->metrics.ascent = static_cast<int>(std::lround(desc.height * ascender / cell));
  impl->metrics.descent = desc.height - impl->metrics.ascent;
  // Synthetic bold widens strokes by about a pixel at these sizes, as the system's does.
  impl->embolden = bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  impl->embolden_strength = std::max<FT_Pos>(64, std::lround(em_y * 64 / 24));
  impl->shear = desc.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);

  // The largest glyph the face can have: its bounding box scaled, plus the synthesised parts and
  // a pixel of hinting slack on each side.
  double sx = em_x / units_per_em;
  double sy = em_y / units_per_em;
  double box_w = (face->bbox.xMax - face->bbox.xMin) * sx;
  double box_h = (face->bbox.yMax - face->bbox.yMin) * sy;
  double extra = (impl->embolden ? impl->embolden_strength / 64.0 : 0) + 4;
  double slant = impl->shear ? box_h * 0x0366A / 65536.0 : 0;
  impl->scratch_width = static_cast<int>(std::ceil(box_w + slant + extra));
  impl->scratch_height = static_cast<int>(std::ceil(box_h + extra));
  impl->scratch.assign(static_cast<size_t>(impl->scratch_width) * impl->scratch_height, 0);
  impl->levels.assign(static_cast<size_t>((impl->scratch_width + 3) & ~3) * impl->scratch_height,
                      0);
  return std::unique_ptr<Font>(new Font(std::move(impl)));
}

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;

const FontMetrics& Font::Metrics() const {
  return impl_->metrics;
}
const FaceMatch& Font::Face() const {
  return impl_->face;
}

void Font::RenderLine(std::string_view sjis, TextBitmap& out) {
  Impl& f = *impl_;
  FT_Activate_Size(f.size.get());
  DecodeCp932(f.library->Cp932(), sjis, f.text);

  // First pass: advances and the union of the ink boxes, in the line box's coordinates (y down
  // from the top of the line).
  f.placed.clear();
  int pen = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
  bool any_ink = false;
  for (char32_t c : f.text) {
    FT_UInt index = f.IndexOf(c);
    Impl::Ink ink = f.Load(index);
    if (!ink.Empty()) {
      int x0 = pen + ink.x0, x1 = pen + ink.x1;
      int y0 = f.metrics.ascent - ink.y1, y1 = f.metrics.ascent - ink.y0;
      left = any_ink ? std::min(left, x0) : x0;
      right = any_ink ? std::max(right, x1) : x1;
      top = any_ink ? std::min(top, y0) : y0;
      bottom = any_ink ? std::max(bottom, y1) : y1;
      any_ink = true;
      f.placed.push_back({index, pen});
    }
    pen += ink.advance;
  }
  out.advance = pen;
  out.left = left;
  out.top = top;
  out.width = right - left;
  out.height = bottom - top;
  out.coverage.assign(static_cast<size_t>(out.width) * out.height, 0);

  // Second pass: each glyph over what is there, as overlapping glyphs would blend.
  for (const Impl::Placed& p : f.placed) {
    Impl::Ink ink = f.Load(p.index);
    if (ink.Empty()) continue;
    f.Rasterise(ink);
    int w = ink.x1 - ink.x0;
    int h = ink.y1 - ink.y0;
    int ox = p.pen_x + ink.x0 - left;
    int oy = f.metrics.ascent - ink.y1 - top;
    for (int y = 0; y < h; ++y) {
      const uint8_t* src = f.scratch.data() + static_cast<size_t>(y) * w;
      uint8_t* dst = out.coverage.data() + static_cast<size_t>(oy + y) * out.width + ox;
      for (int x = 0; x < w; ++x) {
        unsigned s = src[x];
        if (s) dst[x] = static_cast<uint8_t>(dst[x] + s - (dst[x] * s + 127) / 255);
      }
    }
  }
}

bool Font::RenderGlyph(uint32_t code, GlyphBitmap& out) {
  Impl& f = *impl_;
  out = GlyphBitmap{};
  out.ascent = f.metrics.ascent;
  if (code > 0xFFFF || (code > 0xFF && !IsLeadByte(code >> 8))) return false;
  std::array<char, 2> bytes{};
  std::string_view sjis;
  if (code > 0xFF) {
    bytes = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    sjis = std::string_view(bytes.data(), 2);
  } else {
    bytes[0] = static_cast<char>(code);
    sjis = std::string_view(bytes.data(), 1);
  }
  // A lone byte that is not a character decodes to '?': that is no glyph of this code.
  DecodeCp932(f.library->Cp932(), sjis, f.text);
  if (f.text.size() != 1 || (f.text[0] == U'?' && code != '?')) return false;

  FT_Activate_Size(f.size.get());
  Impl::Ink ink = f.Load(f.IndexOf(f.text[0]));
  out.advance = ink.advance;
  if (ink.Empty()) return true;
  f.Rasterise(ink);
  int w = ink.x1 - ink.x0;
  int h = ink.y1 - ink.y0;
  int pitch = (w + 3) & ~3;
  // 4-bit grey: 17 levels, 0 for no coverage and 16 for full.
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = f.scratch.data() + static_cast<size_t>(y) * w;
    uint8_t* dst = f.levels.data() + static_cast<size_t>(y) * pitch;
    for (int x = 0; x < w; ++x) dst[x] = static_cast<uint8_t>((src[x] * 16 + 127) / 255);
    std::fill(dst + w, dst + pitch, 0);
  }
  out.black_box_x = w;
  out.black_box_y = h;
  out.origin_x = ink.x0;
  out.origin_y = ink.y1;
  out.pitch = pitch;
  out.levels = std::span<const uint8_t>(f.levels.data(), static_cast<size_t>(pitch) * h);
  return true;
}

int64_t FontLibraryAllocations() {
  return Library::Allocations();
}

}  // namespace platform
