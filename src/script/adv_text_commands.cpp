// The text commands: "@def_text", "@font_load", "@text,", "@text_cls", "@text_clear",
// "@charname_window" and the four window commands, and the text box's start-up.
#include "app/adv.h"

void CADV::DefText(const CharNameTable& table) { char_names = table; }
void CADV::FontLoad(const std::string&) {}
void CADV::ShowTextPage(const TextPage&) {}
void CADV::TextCls() {}
void CADV::TextClear() {}
void CADV::CharNameWindow(bool) {}
void CADV::TextWindow(TextWindowKind, bool) {}
void CADV::SetTextCursorVisible(bool on) { text_box.SetCursorVisible(on); }
void CADV::TextBoxSetup() {}
void CADV::StartPendingVoices() {}
void CADV::StoreCharNames() {}
void CADV::RestoreCharNames() {}
