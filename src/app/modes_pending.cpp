// The set-ups and mode steps whose areas are not built yet. Each area moves its own out of this
// file into its screen's file when it lands.
#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"

// ADV_Proc, the interpreter's part of the story, is in src/script/adv_interpreter.cpp.
void CADV::CGMODE_Proc() {}
void CADV::CGMODE_Flip() {}
void CADV::OMOIDE_Proc() {}
void CADV::OMOIDE_Flip() {}
void CADV::Music_Proc() {}
void CADV::Music_Flip() {}
