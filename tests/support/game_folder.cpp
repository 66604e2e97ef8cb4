#include "support/game_folder.h"

#include "platform/sjis.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testing_support {

std::vector<uint8_t> ScriptFile(std::string_view utf8) {
  std::string crlf;
  for (char ch : utf8) {
    if (ch == '\n') crlf += '\r';
    crlf += ch;
  }
  const std::string sjis = platform::Utf8ToSjis(crlf);
  return std::vector<uint8_t>(sjis.begin(), sjis.end());
}

GameFolder::GameFolder() {
  char tmpl[] = "/tmp/lanthorn-test-XXXXXX";
  if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  previous_cwd_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path_);
}

GameFolder::~GameFolder() {
  std::error_code ec;
  std::filesystem::current_path(previous_cwd_, ec);
  std::filesystem::remove_all(path_, ec);
}

void GameFolder::Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
  std::filesystem::path p = std::filesystem::path(path_) / relative;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void GameFolder::Write(const std::string& relative, std::string_view text) const {
  Write(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> GameFolder::Read(const std::string& relative) const {
  std::ifstream in(std::filesystem::path(path_) / relative, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool GameFolder::Exists(const std::string& relative) const {
  return std::filesystem::exists(std::filesystem::path(path_) / relative);
}

void GameFolder::WriteEmptyArchive(const std::string& relative) const {
  Write(relative, std::vector<uint8_t>{'P', 'A', 'C', 'K', 0, 0, 0, 0});
}

void GameFolder::WriteEmptyGame() const {
  for (const char* name : {"system.pkd", "thumb.pkd", "grp.pkd"}) WriteEmptyArchive(name);
}

}  // namespace testing_support
