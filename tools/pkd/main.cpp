// pkd: makes, lists, unpacks and checks pack archives, for the people who author and test games.
// It reads archives with the engine's own reader, so what pkd accepts is what the game accepts,
// and it writes them with the same writer the tests and the demo use.
//
//   pkd create [--key 0xNN] [--sjis-ext .EXT] OUT.pkd DIR
//                                         pack every file under DIR (names sorted); the text of
//                                         files ending in .EXT is converted from UTF-8 to
//                                         Shift_JIS on the way (scripts are written in UTF-8)
//   pkd list ARCHIVE                      name, size and offset of every record
//   pkd extract ARCHIVE DIR               unpack every entry the game can read into DIR
//   pkd verify ARCHIVE                    check every record; exit 1 on any problem
//
// Exit codes: 0 success, 1 failure or problems found, 2 wrong usage.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/sjis.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"

namespace {

namespace stdfs = std::filesystem;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void Error(const std::string& message) { std::fprintf(stderr, "pkd: %s\n", message.c_str()); }

int Usage() {
  std::fprintf(stderr,
               "usage: pkd create [--key 0xNN] [--sjis-ext .EXT] OUT.pkd DIR\n"
               "       pkd list ARCHIVE\n"
               "       pkd extract ARCHIVE DIR\n"
               "       pkd verify ARCHIVE\n");
  return kUsage;
}

std::string Hex(uint8_t key) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", key);
  return buf;
}

bool ReadHostFile(const stdfs::path& path, std::vector<uint8_t>& out) {
  platform::fs::File f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  out.clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) out.insert(out.end(), buf, buf + n);
  return !std::ferror(f.get());
}

// Writes beside the target and renames over it, so a failed run never leaves half an archive.
bool WriteHostFile(const stdfs::path& path, const std::vector<uint8_t>& data, std::string& why) {
  const stdfs::path temp = path.string() + ".pkd-tmp";
  {
    platform::fs::File f(std::fopen(temp.c_str(), "wb"));
    if (!f) {
      why = std::strerror(errno);
      return false;
    }
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f.get()) != data.size()) {
      why = std::strerror(errno);
      f.reset();
      std::remove(temp.c_str());
      return false;
    }
    if (std::fclose(f.release()) != 0) {
      why = std::strerror(errno);
      std::remove(temp.c_str());
      return false;
    }
  }
  std::error_code ec;
  stdfs::rename(temp, path, ec);
  if (ec) {
    why = ec.message();
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

// Opens an archive's file and reads its table; reports and returns false on failure.
bool LoadTable(const std::string& archive, PackTable& table) {
  std::error_code ec;
  if (stdfs::is_directory(archive, ec)) {
    Error(archive + ": is a folder, not an archive");
    return false;
  }
  platform::fs::File f(std::fopen(archive.c_str(), "rb"));
  if (!f) {
    Error(archive + ": cannot open: " + std::strerror(errno));
    return false;
  }
  table = ReadPackTable(f.get());
  if (!table.magic) {
    Error(archive + ": " + PackErrorText(table.error));
    return false;
  }
  return true;
}

// What is wrong with the archive as a whole, in the words a user needs; empty for a sound one.
std::vector<std::string> TableProblems(const PackTable& table) {
  std::vector<std::string> out;
  if (table.count < 0)
    out.push_back("the header gives a negative entry count (" + std::to_string(table.count) + ")");
  switch (table.error) {
    case PackError::None:
    case PackError::Magic:
      break;
    case PackError::TableOutsideFile:
      out.push_back("the header gives " + std::to_string(table.count) + " records but the file (" +
                    std::to_string(table.file_size) + " bytes) ends inside the table; only " +
                    std::to_string(table.held) + " whole records are left, and records " +
                    std::to_string(table.held) + " to " + std::to_string(table.count - 1) +
                    " are lost");
      break;
    default:
      out.push_back(PackErrorText(table.error));
      break;
  }
  return out;
}

std::string Printable(const PackRecord& rec) {
  return rec.name.empty() ? "(no name)" : platform::SjisToUtf8(rec.name);
}

int Create(const std::vector<std::string>& args) {
  uint8_t key = kPackKey;
  std::vector<std::string> paths;
  std::vector<std::string> sjis_exts;  // lower case, with the dot
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--sjis-ext") {
      if (i + 1 >= args.size()) return Usage();
      std::string ext = args[++i];
      if (ext.empty() || ext[0] != '.') ext.insert(ext.begin(), '.');
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      sjis_exts.push_back(ext);
    } else if (args[i] == "--key") {
      if (i + 1 >= args.size()) return Usage();
      const std::string& v = args[++i];
      char* end = nullptr;
      errno = 0;
      const unsigned long k = std::strtoul(v.c_str(), &end, 0);
      if (v.empty() || *end != '\0' || errno != 0 || k > 255) {
        Error("--key wants a byte such as 0x5A, not \"" + v + "\"");
        return kUsage;
      }
      key = static_cast<uint8_t>(k);
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) return Usage();
  const stdfs::path out = paths[0];
  const stdfs::path dir = paths[1];

  std::error_code ec;
  if (!stdfs::is_directory(dir, ec)) {
    Error(dir.string() + ": not a folder");
    return kFailed;
  }

  struct Found {
    std::string name;  // Shift_JIS, backslashes
    stdfs::path path;
  };
  std::vector<Found> found;
  bool ok = true;
  stdfs::recursive_directory_iterator it(dir, ec), end;
  if (ec) {
    Error(dir.string() + ": " + ec.message());
    return kFailed;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code entry_ec;  // kept apart from ec, which reports the walk itself
    if (!it->is_regular_file(entry_ec)) continue;
    if (stdfs::equivalent(it->path(), out, entry_ec)) continue;  // an older output in DIR
    std::string utf8;
    for (const stdfs::path& part : it->path().lexically_relative(dir)) {
      if (!utf8.empty()) utf8 += '\\';
      utf8 += part.string();
    }
    std::string sjis = platform::Utf8ToSjis(utf8);
    if (platform::SjisToUtf8(sjis) != utf8) {
      Error(utf8 + ": the name cannot be written in Shift_JIS");
      ok = false;
    } else if (sjis.size() >= static_cast<size_t>(kPackNameSize)) {
      Error(utf8 + ": the name is " + std::to_string(sjis.size()) +
            " bytes in Shift_JIS; at most 127 fit");
      ok = false;
    } else if (!PackNameIsSound(sjis)) {
      Error(utf8 + ": the name holds control characters");
      ok = false;
    } else {
      found.push_back({std::move(sjis), it->path()});
    }
  }
  if (ec) {
    Error(dir.string() + ": " + ec.message());
    return kFailed;
  }
  if (!ok) return kFailed;

  // Sorted by the stored bytes so the same folder always gives the same archive.
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.name < b.name; });
  // The game finds names without regard to ASCII case; two such names would hide one another.
  std::map<std::string, std::string> seen;
  for (const Found& f : found) {
    auto [pos, fresh] = seen.emplace(PackUpperName(f.name), f.name);
    if (!fresh) {
      Error(platform::SjisToUtf8(f.name) + " and " + platform::SjisToUtf8(pos->second) +
            " differ only in case; the game could read only one of them");
      ok = false;
    }
  }
  if (!ok) return kFailed;

  std::vector<PackSource> sources;
  sources.reserve(found.size());
  for (Found& f : found) {
    PackSource s{std::move(f.name), {}};
    if (!ReadHostFile(f.path, s.data)) {
      Error(f.path.string() + ": cannot read: " + std::strerror(errno));
      return kFailed;
    }
    std::string ext = f.path.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (std::find(sjis_exts.begin(), sjis_exts.end(), ext) != sjis_exts.end()) {
      std::string utf8(s.data.begin(), s.data.end());
      std::string sjis = platform::Utf8ToSjis(utf8);
      if (platform::SjisToUtf8(sjis) != utf8) {
        Error(f.path.string() + ": the text is not UTF-8 that Shift_JIS can hold");
        return kFailed;
      }
      s.data.assign(sjis.begin(), sjis.end());
    }
    sources.push_back(std::move(s));
  }
  std::string why;
  auto bytes = BuildPack(sources, key, &why);
  if (!bytes) {
    Error(out.string() + ": " + why);
    return kFailed;
  }
  if (!WriteHostFile(out, *bytes, why)) {
    Error(out.string() + ": cannot write: " + why);
    return kFailed;
  }
  std::printf("%s: %zu entries, %zu bytes, key %s\n", out.c_str(), sources.size(), bytes->size(),
              Hex(key).c_str());
  return kOk;
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage();
  PackTable table;
  if (!LoadTable(args[0], table)) return kFailed;
  for (const PackRecord& rec : table.records)
    std::printf("%s\t%d\t%d\n", Printable(rec).c_str(), rec.size, rec.offset);
  const std::vector<std::string> problems = TableProblems(table);
  for (const std::string& p : problems) Error(args[0] + ": " + p + "; run pkd verify for details");
  return problems.empty() ? kOk : kFailed;
}

int Extract(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage();
  const std::string& archive = args[0];
  const stdfs::path dir = args[1];
  PackTable table;
  if (!LoadTable(archive, table)) return kFailed;
  CPackFile pack(CPackFile::ReadMode::Setup);  // a tool reads once; it does not wait out retries
  if (!pack.OpenHostFile(archive)) {
    Error(archive + ": cannot open");
    return kFailed;
  }

  // The record the game would read for each name: the last sound one.
  std::map<std::string, size_t> chosen;
  bool ok = true;
  for (const std::string& p : TableProblems(table)) {
    Error(archive + ": " + p + "; run pkd verify for details");
    ok = false;
  }
  for (size_t i = 0; i < table.records.size(); ++i) {
    const PackRecord& rec = table.records[i];
    if (rec.sound) {
      chosen[PackUpperName(rec.name)] = i;
    } else {
      Error(archive + ": record " + std::to_string(i) + " (" + Printable(rec) +
            ") is unsound and is skipped; run pkd verify for details");
      ok = false;
    }
  }
  int written = 0;
  for (const auto& [upper, i] : chosen) {
    const PackRecord& rec = table.records[i];
    const std::string utf8 = platform::SjisToUtf8(rec.name);
    const std::string relative = PackEntryHostPath(rec.name);
    const stdfs::path target = relative.empty() ? stdfs::path() : dir / relative;
    if (target.empty()) {
      Error(utf8 + ": the name would leave the target folder; skipped");
      ok = false;
      continue;
    }
    auto data = pack.Read(rec.name);
    if (!data) {
      Error(utf8 + ": cannot read the entry");
      ok = false;
      continue;
    }
    std::error_code ec;
    stdfs::create_directories(target.parent_path(), ec);
    std::string why;
    if (ec) {
      Error(target.parent_path().string() + ": " + ec.message());
      ok = false;
    } else if (!WriteHostFile(target, *data, why)) {
      Error(target.string() + ": cannot write: " + why);
      ok = false;
    } else {
      ++written;
    }
  }
  std::printf("%s: %d entries extracted into %s\n", archive.c_str(), written, dir.c_str());
  return ok ? kOk : kFailed;
}

int Verify(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage();
  const std::string& archive = args[0];
  PackTable table;
  if (!LoadTable(archive, table)) return kFailed;
  const int64_t table_end =
      kPackHeaderSize + static_cast<int64_t>(std::max(table.count, 0)) * kPackRecordSize;
  int problems = 0;
  for (const std::string& p : TableProblems(table)) {
    Error(archive + ": " + p);
    ++problems;
  }
  auto report = [&](size_t i, const PackRecord& rec, const std::string& what) {
    Error(archive + ": record " + std::to_string(i) + " (" + Printable(rec) + "): " + what);
    ++problems;
  };
  std::map<std::string, size_t> seen;
  for (size_t i = 0; i < table.records.size(); ++i) {
    const PackRecord& rec = table.records[i];
    if (rec.name.empty())
      report(i, rec, "the name is empty or not NUL-terminated within 128 bytes");
    else if (!rec.name_sound)
      report(i, rec, "the name holds control bytes or broken Shift_JIS");
    if (rec.size < 0) report(i, rec, "negative size " + std::to_string(rec.size));
    if (rec.offset < table_end)
      report(i, rec, "offset " + std::to_string(rec.offset) + " lies before the end of the table (" +
                         std::to_string(table_end) + ")");
    if (static_cast<int64_t>(rec.offset) + rec.size > table.file_size)
      report(i, rec, "the data (offset " + std::to_string(rec.offset) + ", size " +
                         std::to_string(rec.size) + ") runs past the end of the file (" +
                         std::to_string(table.file_size) + " bytes)");
    if (!rec.name.empty()) {
      auto [pos, fresh] = seen.emplace(PackUpperName(rec.name), i);
      if (!fresh) {
        report(i, rec, "same name as record " + std::to_string(pos->second) + "; the later one is used");
        pos->second = i;
      }
    }
  }
  std::string key = "key " + Hex(table.key);
  if (table.key != kPackKey) key += " (not this project's " + Hex(kPackKey) + ")";
  std::printf("%s: %d records, %s, %s\n", archive.c_str(), table.count, key.c_str(),
              problems == 0 ? "OK" : (std::to_string(problems) + " problems").c_str());
  return problems == 0 ? kOk : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "create") return Create(args);
  if (command == "list") return List(args);
  if (command == "extract") return Extract(args);
  if (command == "verify") return Verify(args);
  Error("unknown command \"" + command + "\"");
  return Usage();
}
