// setup: installs the game from the folder it is started in (its medium, holding "data.pkd" and
// the game's files), or, started from an installed copy, removes that installation. Arguments are
// ignored. Exit codes: 0, or 255 / 254 / 253 (-1 / -2 / -3) for a medium it cannot use.
#include <filesystem>
#include <system_error>

#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/panel_window.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "setup/setup_program.h"

int main() {
  platform::Log log;
  auto boxes = platform::CreateSdlMessageBoxes();
  platform::Registry registry(platform::Registry::UserStoreFolder());
  setup::SetupContext context(*boxes, registry);
  context.folders = platform::ShellFolders::ForUser();
  std::error_code error;
  context.current_folder = std::filesystem::current_path(error).string();
  auto window = platform::CreateSdlPanelWindow();
  setup::SetupProgram program(context, *window);
  if (const int code = program.Start(); code != 0) return code;
  while (program.Pump(true)) {
  }
  if (program.SelfRemove()) program.Record().RemoveSelf();
  return program.ExitCode();
}
