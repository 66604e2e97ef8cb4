// The lanthorn program: plays the game in the current folder in a window on the user's display.
#include "app/shell.h"

int main() {
  platform::SystemClock clock;
  auto window = platform::CreateSdlWindow();
  auto boxes = platform::CreateSdlMessageBoxes();
  platform::SdlSoundOutput sound;
  Process process(Platform{*window, clock, *boxes, sound});
  return WinMain(process);
}
