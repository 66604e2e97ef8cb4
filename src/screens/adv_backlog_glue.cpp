// CADV's entry points of the message history (src/screens/backlog.*): the story's pictures under
// it, and what its answers ask of the engine: leave for the mode it was opened from, or take the
// story back to the chosen page.
#include "app/adv.h"
#include "app/process.h"

namespace {

// The story is rebuilt from the page's snapshot; it runs the page's text command again, which
// sets the speaker, the colour and the text. A page that cannot be rebuilt closes the history.
void GoBack(CADV& a) {
  Process& p = a.process();
  p.bgm.FadeOut(0);
  for (int i = 0; i < 8; ++i)
    if (p.script_se[i].IsPlaying()) p.script_se[i].FadeOut(0);
  for (int i = 0; i < 8; ++i) p.voices[i].FadeOut(2);
  if (!a.RestoreCheckpoint(a.backlog.index)) {  // refused: the history is still there
    a.backlog.Close(a.frame_time);
    a.game_mode = a.backlog.return_mode;
    return;
  }
  a.story.auto_mode = false;
  a.script_state.skip_mode = false;
  a.game_mode = MODE_ADV;
}

}  // namespace

void CADV::BacklogSetup() { backlog.Setup(system_textures[0]); }

void CADV::ShowBacklogEntry(int i) { backlog.Show(i); }

void CADV::OpenBacklog() {
  if (backlog.Open(game_mode, frame_time)) game_mode = MODE_BACKLOG;
}

void CADV::Backlog_Flip() {
  SceneDrawLayers();
  ScreenInput in = InputForScreen();
  switch (backlog.Flip(in)) {
    case BacklogStep::kStay: break;
    case BacklogStep::kClosed: game_mode = backlog.return_mode; break;
    case BacklogStep::kPagedOut:
      game_mode = backlog.return_mode;
      story.advance_result = backlog.PagedOutResult();
      break;
    case BacklogStep::kGoBack: GoBack(*this); break;
  }
}
