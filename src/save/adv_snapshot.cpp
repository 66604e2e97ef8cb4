// The page snapshot: the restorable state copied into the save record at every text page, and
// the message history that keeps the last 50 pages with their snapshots.
#include "app/adv.h"

void CADV::TakeSnapshot(int32_t) {}
void CADV::PushCheckpoint() {}
void CADV::RecordHistory(int, std::string_view) {}
void CADV::EndHistoryPage() {}
