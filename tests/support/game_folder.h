// A game folder in a fresh temporary directory that is the current folder while the object lives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testing_support {

// A script as its file holds it: the UTF-8 text as Shift_JIS with CR LF line ends.
std::vector<uint8_t> ScriptFile(std::string_view utf8);

class GameFolder {
 public:
  GameFolder();
  ~GameFolder();
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;

  const std::string& path() const { return path_; }
  // Writes a file (a relative host path with '/'; folders are created).
  void Write(const std::string& relative, const std::vector<uint8_t>& bytes) const;
  void Write(const std::string& relative, std::string_view text) const;
  std::vector<uint8_t> Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // An archive holding no entries: enough for the start-up to accept it.
  void WriteEmptyArchive(const std::string& relative) const;
  // The three archives the game opens, all empty.
  void WriteEmptyGame() const;

 private:
  std::string path_;
  std::string previous_cwd_;
};

}  // namespace testing_support
