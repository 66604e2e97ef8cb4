// The event-picture table and its look-up.
#include "scene/event_pictures.h"

namespace scene {

const std::array<std::string_view, kEventPictureCount> EventPictureTable{
    "ev_etc01", "ev_etc02", "ev_etc03", "ev_etc04", "ev_etc05", "ev_etc06", "ev_etc07-01",
    "ev_etc07", "ev_etc08-01", "ev_etc08", "ev_etc09-01", "ev_etc09-02", "ev_etc09",
    "ev_etc10-01", "ev_etc10-02", "ev_etc10", "ev_etc11-01", "ev_etc11", "ev_etc12-01",
    "ev_etc12", "ev_juno01-01", "ev_juno01-02", "ev_juno01", "ev_juno02-01", "ev_juno02-02",
    "ev_juno02-03", "ev_juno02", "ev_juno03-01", "ev_juno03-02", "ev_juno03", "ev_juno04-01",
    "ev_juno04-02", "ev_juno04-03", "ev_juno04", "ev_juno05", "ev_juno06-01", "ev_juno06",
    "ev_juno07-01", "ev_juno07-02", "ev_juno07", "ev_juno08-01", "ev_juno08", "ev_juno09-01",
    "ev_juno09-02", "ev_juno09", "ev_juno10-01", "ev_juno10-02", "ev_juno10", "ev_juno11-01",
    "ev_juno11-02", "ev_juno11-03", "ev_juno11", "ev_juno12", "ev_juno13-01", "ev_juno13-02",
    "ev_juno13", "ev_juno14-01", "ev_juno14-02", "ev_juno14-03", "ev_juno14", "ev_juno15-01",
    "ev_juno15-02", "ev_juno15-03", "ev_juno15", "ev_juno16", "ev_juno17", "ev_ondine01",
    "ev_ondine02-01", "ev_ondine02", "ev_ondine03-01", "ev_ondine03-02", "ev_ondine03",
    "ev_ondine04-01", "ev_ondine04", "ev_ondine05-01", "ev_ondine05-02", "ev_ondine05-03",
    "ev_ondine05-04", "ev_ondine05", "ev_ondine06-01", "ev_ondine06-02", "ev_ondine06-03",
    "ev_ondine06", "ev_ondine07", "ev_ondine08-01", "ev_ondine08-02", "ev_ondine08",
    "ev_ondine09-01", "ev_ondine09-02", "ev_ondine09", "ev_ondine10-1", "ev_ondine10",
    "ev_ondine11-01", "ev_ondine11", "ev_ondine12-01", "ev_ondine12-02", "ev_ondine12",
    "ev_ondine13", "ev_ondine14-01", "ev_ondine14", "ev_ondine15-01", "ev_ondine15-02",
    "ev_ondine15-03", "ev_ondine15", "ev_ondine16", "ev_mirel01", "ev_mirel02", "ev_mirel03-01",
    "ev_mirel03", "ev_mirel04", "ev_mirel05-01", "ev_mirel05", "ev_mirel06-01", "ev_mirel06-02",
    "ev_mirel06", "ev_mirel07-01", "ev_mirel07-02", "ev_mirel07-03", "ev_mirel07",
    "ev_mirel08-01", "ev_mirel08-02", "ev_mirel08-03", "ev_mirel08", "ev_mirel09-01",
    "ev_mirel09", "ev_mirel10-01", "ev_mirel10", "ev_mirel11-01", "ev_mirel11-02",
    "ev_mirel11-03", "ev_mirel11", "ev_mirel12-01", "ev_mirel12", "ev_mirel13-01",
    "ev_mirel13-02", "ev_mirel13-03", "ev_mirel13-04", "ev_mirel13", "ev_mirel14-01",
    "ev_mirel14-02", "ev_mirel14", "ev_mirel15", "ev_mirel16", "ev_mirel17-01", "ev_mirel17-02",
    "ev_mirel17-03", "ev_mirel17", "ev_mirel18-01", "ev_mirel18-02", "ev_mirel18",
    "ev_mirel19-01", "ev_mirel19-02", "ev_mirel19", "ev_mirel20", "ev_mirel21-01", "ev_mirel21",
    "ev_carys01-01", "ev_carys01-02", "ev_carys01", "ev_carys02-01", "ev_carys02",
    "ev_carys03-01", "ev_carys03-02", "ev_carys03", "ev_carys04-01", "ev_carys04",
    "ev_carys05-01", "ev_carys05-02", "ev_carys05-03", "ev_carys05-04", "ev_carys05-05",
    "ev_carys05", "ev_carys06-01", "ev_carys06", "ev_carys07", "ev_carys08-01", "ev_carys08",
    "ev_carys09-01", "ev_carys09-02", "ev_carys09", "ev_carys10-01", "ev_carys10-02",
    "ev_carys10", "ev_carys11-01", "ev_carys11-02", "ev_carys11-03", "ev_carys11",
    "ev_carys12-01", "ev_carys12-02", "ev_carys12", "ev_carys13", "ev_carys14", "ev_carys15",
    "ev_carys16-01", "ev_carys16-02", "ev_carys16-03", "ev_carys16", "ev_carys17",
};

namespace {

// ASCII letters only: the other bytes (Shift_JIS among them) must match exactly.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

}  // namespace

int FindEventPicture(std::string_view name) {
  for (int i = 0; i < kEventPictureCount; ++i)
    if (SameName(EventPictureTable[i], name)) return i;
  return -1;
}

}  // namespace scene
