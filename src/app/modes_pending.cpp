// The set-ups and mode steps whose areas are not built yet. Each area moves its own out of this
// file into its screen's file when it lands.
#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"

void CADV::Movie_Proc() {}
void CADV::Movie_Flip() {}
