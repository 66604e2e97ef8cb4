// Save-slot time labels.
#include "save/slot_label.h"

#include <array>
#include <cstdio>

#include "platform/sjis.h"

std::string SlotTimeLabel(const std::tm& local) {
  static const std::array<std::string, 7> kWeekdays = {SJ("日"), SJ("月"), SJ("火"), SJ("水"),
                                                       SJ("木"), SJ("金"), SJ("土")};
  const int wday = local.tm_wday >= 0 && local.tm_wday < 7 ? local.tm_wday : 0;
  char text[96];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d(%s)", local.tm_year - 100,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                kWeekdays[static_cast<size_t>(wday)].c_str());
  return text;
}

std::string SlotTimeLabel(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (!localtime_r(&t, &local)) return {};
  return SlotTimeLabel(local);
}
