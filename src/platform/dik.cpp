#include "platform/dik.h"

#include <array>

namespace platform {
namespace {

struct DikEntry {
  std::string_view name;
  uint8_t code;
};

#define LANTHORN_DIK_ENTRY(name, code) DikEntry{"DIK_" #name, code},
constexpr DikEntry kDikTable[] = {LANTHORN_DIK_KEYS(LANTHORN_DIK_ENTRY)};
#undef LANTHORN_DIK_ENTRY

}  // namespace

std::optional<uint8_t> DikFromName(std::string_view name) {
  for (const auto& e : kDikTable)
    if (e.name == name || e.name.substr(4) == name) return e.code;
  return std::nullopt;
}

std::string_view DikName(uint8_t code) {
  for (const auto& e : kDikTable)
    if (e.code == code) return e.name;
  return {};
}

}  // namespace platform
