// The setup program's lists come from the medium and from the installation folder, both outside
// the program. The input is split into lines and each line goes through the set-up parser, the
// copy list and the uninstall list against a scratch folder; nothing may crash, read out of
// bounds, or create or remove anything outside that folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/message_box.h"
#include "resource/pack_file.h"
#include "setup/setup_lists.h"

namespace {

namespace stdfs = std::filesystem;

const stdfs::path& Scratch() {
  static const stdfs::path path = [] {
    const char* tmp = std::getenv("TMPDIR");
    return stdfs::path(tmp && *tmp ? tmp : "/tmp") /
           ("lanthorn-fuzz-setup-" + std::to_string(::getpid()));
  }();
  return path;
}

size_t CountEntries(const stdfs::path& p) {
  std::error_code e;
  size_t n = 0;
  for (auto it = stdfs::recursive_directory_iterator(p, e); !e && it != stdfs::end(it);
       it.increment(e))
    ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const stdfs::path& root = Scratch();
  std::error_code e;
  stdfs::remove_all(root, e);
  stdfs::create_directories(root / "medium", e);
  stdfs::create_directories(root / "sentinel", e);
  platform::HeadlessMessageBoxes boxes;
  platform::Registry registry((root / "registry").string());
  setup::SetupContext context(boxes, registry);
  context.current_folder = (root / "medium").string();
  context.base_folder = (root / "base").string();
  context.title = "T";
  context.installed_folder = context.InstallationFolder();
  CPackFile archive(CPackFile::ReadMode::Setup);
  setup::SetupLists lists(context, archive);
  const auto lines = setup::SplitListLines(data, size);
  int number = 0;
  for (const std::string& line : lines) {
    ++number;
    if (line.size() > setup::kMaxListLine) std::abort();
    lists.ParseSetupLine(line);
    context.title = "T";  // the folder stays where the check below looks
    lists.ExecuteCopyLine(line, number);
    lists.ExecuteUninstallLine(line, number);
  }
  lists.WriteUninstallList(context.InstallationFolder());
  // Only the scratch folders may have changed: the sentinel and the medium stay as they were,
  // and nothing appears beside them.
  for (const auto& entry : stdfs::directory_iterator(root, e)) {
    const std::string name = entry.path().filename().string();
    if (name != "medium" && name != "sentinel" && name != "base" && name != "registry")
      std::abort();
  }
  if (CountEntries(root / "sentinel") != 0 || CountEntries(root / "medium") != 0) std::abort();
  return 0;
}
