// Stands in for the system registry as the setup program uses it: keys that hold named values of
// a type (text or a 32-bit number) and subkeys. The store is a folder tree: one folder per key,
// one file per value ("=" + name, holding the 4-byte type and then the data), under the user's
// $XDG_CONFIG_HOME/lanthorn/registry, or under any folder a test names. Key paths use backslashes
// and Shift_JIS names, as the system's do; a name that could step out of the store ("", ".",
// "..", or one holding "/") is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

enum RegistryType : uint32_t { kRegSz = 1, kRegDword = 4 };

struct RegistryValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

class Registry {
 public:
  explicit Registry(std::string host_folder) : folder_(std::move(host_folder)) {}
  // $XDG_CONFIG_HOME/lanthorn/registry (~/.config when the variable is unset).
  static std::string UserStoreFolder();

  bool KeyExists(RegistryRoot root, std::string_view key) const;
  // Creates the key and the missing keys on the way.
  bool CreateKey(RegistryRoot root, std::string_view key);
  std::optional<RegistryValue> Query(RegistryRoot root, std::string_view key,
                                     std::string_view name) const;
  // The key must exist. The value is written whole (temporary file renamed over the old one).
  bool Set(RegistryRoot root, std::string_view key, std::string_view name, uint32_t type,
           const void* data, size_t size);
  // Removes a key and its values; like the system's, fails for a key that holds subkeys.
  bool DeleteKey(RegistryRoot root, std::string_view key);

  const std::string& Folder() const { return folder_; }

 private:
  std::optional<std::string> KeyPath(RegistryRoot root, std::string_view key) const;
  std::string folder_;
};

}  // namespace platform
