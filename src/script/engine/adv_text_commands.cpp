// The text commands: "@def_text", "@font_load", "@text,", "@text_cls", "@text_clear",
// "@charname_window" and the four window commands; the text box's start-up with the button
// bar's pictures; and the voice step the story runs while a page's voices wait to start.
//
// Two choices of this engine: each page reads its voices from slot 0 again (the queue is filled
// from there), and a page without voices clears the pending flag a previous page may have left.
#include <algorithm>

#include "app/adv.h"
#include "app/process.h"
#include "audio/engine/adv_sound.h"
#include "platform/sjis.h"
#include "script/script_log.h"
#include "screens/cells.h"

void CADV::TextBoxSetup() {
  gfx::Device& device = process_.graphics.Device();
  text_box.Create(device, process_.system_pkd, &process_.pictures);
  text_box.SetTextStyle(system_data.TextStyle);
  if (!text_box.LoadSpecialGlyphs("textbox\\default_font.bmp")) {
    static const std::string kMissing =
        SJ("CADV::Init() : default_font.bmpのロードに失敗しました。");
    WriteLog(2, kMissing, "CADV::Init", __LINE__);
  }
  ButtonBarSetup();
}

// The bar's pictures are cells of the first system texture; the sprites only point at it, so
// they may be made before the texture is filled.
void CADV::ButtonBarSetup() {
  button_bar.Setup(process_.graphics.Device(), system_textures[0]);
}

void CADV::DefText(const CharNameTable& table) {
  char_names = table;
  StoreCharNames();
}

void CADV::FontLoad(const std::string& file) {
  if (text_box.LoadSpecialGlyphs("textbox\\" + file)) {
    LogScript(script, 0, "@font_load. : " + file);
  } else {
    LogScript(script, 2, "@font_load. failed. : " + file);
  }
}

void CADV::ShowTextPage(const TextPage& page) {
  TakeSnapshot(page.position);
  voice_queue.Clear();
  voice_queue.VoiceReadIndex = 0;
  for (CStreamSound& voice : process_.voices) voice.Stop();
  text_box.Advance(-1);
  text_box.SetCursorVisible(false);

  const int voices = std::clamp(page.voice_count, 0, kVoiceQueueSize);
  for (int i = 0; i < voices; ++i) voice_queue.Store(i, page.voices[static_cast<size_t>(i)]);
  voice_queue.VoicePending = voices > 0 ? 1 : 0;

  // The reader has reported a number outside the table and made it 0.
  const int n = page.name_number >= 0 && page.name_number < kCharNameCount ? page.name_number : 0;
  const CharNameEntry& speaker = char_names[static_cast<size_t>(n)];
  text_box.SetTextColor(speaker.colour);  // before the name: the name is drawn in it
  text_box.SetName(speaker.name);
  text_box.SetNamePlate(speaker.plate);
  RecordHistory(-1, speaker.name);
  const int lines = std::clamp(page.line_count, 0, kTextLineCount);
  for (int k = 0; k < lines; ++k) {
    const std::string& text = page.lines[static_cast<size_t>(k)];
    text_box.SetLine(k, text);
    RecordHistory(k, text);
  }
  EndHistoryPage();

  adv_state = ADV_TEXT;
  story.char_countdown = kTextSpeedMs[std::clamp(system_data.TextSpeed, 0, 7)];
  story.advance_result = 0;
  script_state.page_no_wait = page.nowait;
}

void CADV::TextCls() {
  text_box.Advance(-1);
  text_box.SetNamePlate(false);
}

void CADV::TextClear() {
  text_box.Advance(-1);
  for (int k = 0; k < kTextLineCount; ++k) text_box.SetLine(k, "");
  text_box.Advance(1);
}

void CADV::CharNameWindow(bool show) {
  text_box.SetNamePlate(show);
}

void CADV::TextWindow(TextWindowKind kind, bool show) {
  switch (kind) {
    case TEXTWINDOW_FAST:
      if (show) {
        text_hidden_by_script = false;
        text_box.SetBoxAlpha(255);
        process_.input.ClearWheel();
      } else {
        text_box.SetBoxAlpha(0);
        text_hidden_by_script = true;
        text_box.Advance(-1);
        text_box.SetNamePlate(false);
      }
      break;
    case TEXTWINDOW_FX1:
    case TEXTWINDOW_FX2: {
      // fx1 dissolves with kinds 0 (away) and 1 (in), fx2 with kinds 2 and 3.
      const int base = kind == TEXTWINDOW_FX1 ? 0 : 2;
      if (show) {
        text_hidden_by_script = false;
        text_box.StartBoxTransition(base + 1);
        adv_state = ADV_WINDOW_DISSOLVE_IN;
        process_.input.ClearWheel();
      } else {
        text_box.StartBoxTransition(base);
        adv_state = ADV_WINDOW_DISSOLVE_OUT;
      }
      break;
    }
    case TEXTWINDOW_FADE:
      if (show) {
        text_hidden_by_script = false;
        story.window_alpha = 0;
        adv_state = ADV_WINDOW_FADE_IN;
      } else {
        story.window_alpha = 255;
        adv_state = ADV_WINDOW_FADE_OUT;
      }
      text_box.SetBoxAlpha(static_cast<int>(story.window_alpha));
      break;
  }
}

void CADV::SetTextCursorVisible(bool on) {
  text_box.SetCursorVisible(on);
}

void CADV::StartPendingVoices() {
  if (!voice_queue.VoicePending) return;
  VoiceStep(voice_queue, process_.voices, VoiceSettingsOf(system_data), Skipping(), "");
}
