// fuzz_seeds DEMO_DIR SOURCE_DIR OUT_DIR: the seed corpus of every fuzzer, made at build time
// from the demo game the build just made (its archives, pictures, sounds, scripts and movies)
// and from records built the way the engine writes them, so nothing binary is kept in the source
// tree. Writes OUT_DIR/<fuzzer>/<seed>; the folder is made afresh each time. Inputs that once
// found a fault are kept as hex text in SOURCE_DIR/fuzz/regress/<fuzzer>/<name>.hex and join
// that fuzzer's seeds as regress-<name>, so every run replays them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sjis.h"
#include "resource/dib.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"
#include "save/progress.h"
#include "save/read_positions.h"
#include "save/save_record.h"
#include "save/system_data.h"
#include "script/script.h"

namespace {

namespace stdfs = std::filesystem;
using Bytes = std::vector<uint8_t>;

stdfs::path g_out;
int g_written = 0;

void Seed(const std::string& fuzzer, const std::string& name, const void* data, size_t size) {
  const stdfs::path folder = g_out / fuzzer;
  stdfs::create_directories(folder);
  std::string file = name;
  for (char& c : file)
    if (c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
  std::ofstream out(folder / file, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  ++g_written;
}
void Seed(const std::string& fuzzer, const std::string& name, const Bytes& bytes) {
  Seed(fuzzer, name, bytes.data(), bytes.size());
}

Bytes ReadHost(const stdfs::path& path, size_t limit = SIZE_MAX) {
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), {});
  if (bytes.size() > limit) bytes.resize(limit);
  return bytes;
}

// The files under a folder whose names end with the extension, smallest first, at most `count`.
std::vector<stdfs::path> Files(const stdfs::path& folder, const std::string& extension, size_t count) {
  std::vector<stdfs::path> found;
  std::error_code error;
  for (auto it = stdfs::recursive_directory_iterator(folder, error);
       !error && it != stdfs::recursive_directory_iterator(); it.increment(error))
    if (it->is_regular_file() && it->path().extension() == extension) found.push_back(it->path());
  std::sort(found.begin(), found.end(), [](const stdfs::path& a, const stdfs::path& b) {
    const auto sa = stdfs::file_size(a), sb = stdfs::file_size(b);
    return sa != sb ? sa < sb : a < b;
  });
  if (found.size() > count) found.resize(count);
  return found;
}

struct Entry {
  std::string name;
  Bytes data;
};
// The entries of an archive whose names end with the (upper-case) extension, smallest first.
std::vector<Entry> Entries(const CPackFile& pack, const std::string& extension, size_t count) {
  std::vector<Entry> out;
  for (const auto& [name, entry] : pack.Index())
    if (name.size() > extension.size() && name.ends_with(extension))
      if (auto data = pack.Read(name)) out.push_back({name, std::move(*data)});
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
    return a.data.size() != b.data.size() ? a.data.size() < b.data.size() : a.name < b.name;
  });
  if (out.size() > count) out.resize(count);
  return out;
}

// Hex text: pairs of hex digits, with blanks and '#' comments to the end of a line anywhere.
bool ParseHex(const std::string& text, Bytes& out) {
  int high = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return false;
    if (high < 0) {
      high = digit;
    } else {
      out.push_back(static_cast<uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  return high < 0;
}

// The kept reproducers of faults once found, each into its fuzzer's seeds.
bool SeedRegressions(const stdfs::path& folder) {
  std::error_code error;
  for (const auto& fuzzer : stdfs::directory_iterator(folder, error)) {
    if (!fuzzer.is_directory()) continue;
    for (const auto& file : stdfs::directory_iterator(fuzzer.path())) {
      if (file.path().extension() != ".hex") continue;
      const Bytes text = ReadHost(file.path());
      Bytes bytes;
      if (!ParseHex(std::string(text.begin(), text.end()), bytes)) {
        std::fprintf(stderr, "fuzz_seeds: %s is not hex text\n", file.path().c_str());
        return false;
      }
      Seed(fuzzer.path().filename().string(), "regress-" + file.path().stem().string(), bytes);
    }
  }
  return true;
}

void Copy(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: fuzz_seeds DEMO_DIR SOURCE_DIR OUT_DIR\n");
    return 2;
  }
  const stdfs::path demo = argv[1], source = argv[2];
  g_out = argv[3];
  std::error_code ignored;
  stdfs::remove_all(g_out, ignored);
  stdfs::create_directories(g_out);

  CPackFile system, grp;
  if (!system.OpenHostFile((demo / "system.pkd").string()) ||
      !grp.OpenHostFile((demo / "grp.pkd").string())) {
    std::fprintf(stderr, "fuzz_seeds: the demo's archives are missing in %s\n", demo.c_str());
    return 1;
  }

  // Archives: the demo's empty one, and small ones of its own entries under its key and another.
  Seed("fuzz_pack", "thumb.pkd", ReadHost(demo / "thumb.pkd"));
  std::vector<PackSource> sources;
  for (Entry& e : Entries(system, ".SCP", 3)) sources.push_back({e.name, std::move(e.data)});
  for (Entry& e : Entries(grp, ".PNG", 2)) sources.push_back({e.name, std::move(e.data)});
  for (uint8_t key : {kPackKey, uint8_t{0x33}})
    if (auto pack = BuildPack(sources, key)) Seed("fuzz_pack", "key" + std::to_string(key), *pack);
  std::vector<std::string> names;
  for (const CPackFile* pack : {&system, &grp})
    for (const auto& [name, entry] : pack->Index()) names.push_back(name);
  for (size_t i = 0; i < names.size() && i < 64; ++i)
    Seed("fuzz_pkd_names", "name" + std::to_string(i), names[i].data(), names[i].size());

  // Pictures, the special glyphs and a thumbnail made from a background as a save makes one.
  for (const CPackFile* pack : {&system, &grp})
    for (const Entry& e : Entries(*pack, ".PNG", 12)) Seed("fuzz_png", e.name, e.data);
  for (const Entry& e : Entries(system, ".BMP", 4)) Seed("fuzz_glyphs", e.name, e.data);
  for (const Entry& e : Entries(grp, ".PNG", 40)) {
    CImage32 picture;
    if (picture.LoadFromPNGMemory(e.data.data(), e.data.size()) != 0 || picture.Width() < 800 ||
        picture.Height() < 600)
      continue;
    CDIB canvas;
    if (!canvas.CreateCanvas(160, 120)) break;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x)
        std::memcpy(canvas.Bits() + (static_cast<size_t>(119 - y) * 160 + x) * 4,
                    picture.Pixels() + (static_cast<size_t>(y * 5) * picture.Width() + x * 5) * 4, 4);
    const stdfs::path bmp = g_out / "fuzz_thumbnail" / "slot.bmp";
    stdfs::create_directories(bmp.parent_path());
    if (canvas.SaveBMP(bmp.string())) ++g_written;
    break;
  }

  // Sounds and movies: the demo's effects, its shortest music and the start of a movie.
  for (const stdfs::path& f : Files(demo / "SOUND", ".wav", 16))
    Seed("fuzz_wav", f.filename().string(), ReadHost(f, 64 * 1024));
  for (const stdfs::path& f : Files(demo / "SOUND", ".ogg", 4))
    Seed("fuzz_ogg", f.filename().string(), ReadHost(f));
  for (const stdfs::path& f : Files(demo / "MOVIE", ".mpg", 1))
    Seed("fuzz_movie", f.filename().string(), ReadHost(f, 64 * 1024));

  // Scripts, for the tokeniser and the interpreter; the replay script of the demo.
  const std::vector<Entry> scripts = Entries(system, ".SCP", 64);
  for (const Entry& e : scripts) {
    Seed("fuzz_script", e.name, e.data);
    Seed("fuzz_interpreter", e.name, e.data);
  }
  Seed("fuzz_replay_script", "replay.txt", ReadHost(source / "demo" / "replay.txt"));

  // The setup program's lists as the setup medium is made with them, when the build made it.
  const stdfs::path setup_stage = demo.parent_path() / "setup-stage";
  for (const char* list : {"system", "install.dir"})
    if (stdfs::is_regular_file(setup_stage / list))
      Seed("fuzz_setup_lists", list, ReadHost(setup_stage / list));

  // The player's records as the engine writes them: first-start settings, some unlocks, and the
  // read marks of every demo script.
  const SystemData settings = FirstStartSystemData();
  Seed("fuzz_records", "first_start", &settings, sizeof settings);
  ProgressData progress{};
  for (int i = 0; i < 12; ++i) progress.UnlockPicture(i);
  Seed("fuzz_records", "progress", &progress, sizeof progress);
  ReadPositions marks;
  for (const Entry& e : scripts) marks.RecordReadPosition(e.name, 40);
  Seed("fuzz_records", "read_marks", marks.Records(system.Key()));

  // Save records: each demo script at its first page, with and without music and effects.
  const std::vector<stdfs::path> music = Files(demo / "SOUND" / "BGM", ".ogg", 1);
  const std::vector<stdfs::path> effects = Files(demo / "SOUND" / "SE", ".wav", 2);
  int saves = 0;
  for (const Entry& e : scripts) {
    CScript script(&system);
    if (!script.Load(e.name)) continue;
    SaveRecord record;
    Copy(record.ScriptName, sizeof record.ScriptName, e.name);
    for (int32_t i = 0; i < script.TokenCount(); ++i)
      if (script.Token(i).starts_with("@text,")) {
        record.ScriptPosition = i;
        break;
      }
    Seed("fuzz_save_slot", "plain" + std::to_string(saves), &record, sizeof record);
    if (!music.empty()) {
      Copy(record.BgmName, sizeof record.BgmName, music[0].filename().string());
      record.BgmActive = record.BgmLooping = 1;
    }
    for (size_t i = 0; i < effects.size(); ++i) {
      Copy(record.SeNames[i], sizeof record.SeNames[i],
           "SOUND\\SE\\" + effects[i].filename().string());
      record.SeActive[i] = record.SeLooping[i] = 1;
    }
    Seed("fuzz_save_slot", "sound" + std::to_string(saves), &record, sizeof record);
    if (++saves == 8) break;
  }

  if (!SeedRegressions(source / "fuzz" / "regress")) return 1;
  std::printf("fuzz_seeds: %d seeds in %s\n", g_written, g_out.c_str());
  return 0;
}
