// The folder chooser, drawn inside the setup window over its page: the folder being looked at,
// its parent ("..") and its subfolders in rows that scroll, and the OK and cancel buttons. One
// click on a row enters that folder; OK chooses the folder being looked at. Host paths.
#pragma once

#include <string>
#include <vector>

#include "setup/canvas_text.h"

namespace setup {

class FolderChooser {
 public:
  enum class State { Closed, Open, Chosen, Cancelled };
  static constexpr int kRows = 10;

  // Opens at the folder, or at its nearest existing parent.
  void Open(const std::string& start);
  State state() const { return state_; }
  void Close() { state_ = State::Closed; }
  const std::string& Folder() const { return folder_; }
  const std::vector<std::string>& Entries() const { return entries_; }

  // Pointer over the chooser: true when a button or row is under it.
  bool Move(int x, int y);
  void Release(int x, int y);
  void Draw(CDIB& canvas, platform::Font* font) const;

  // Where a test clicks: the centre of the row showing an entry (-1 when it is not shown), and
  // the buttons.
  int RowY(const std::string& entry) const;
  static constexpr Box kOk{272, 306, 352, 330};
  static constexpr Box kCancel{368, 306, 448, 330};
  static constexpr Box kUp{428, 72, 448, 92};
  static constexpr Box kDown{428, 272, 448, 292};

 private:
  void Enter(const std::string& folder);
  int RowAt(int x, int y) const;

  State state_ = State::Closed;
  std::string folder_;
  std::vector<std::string> entries_;  // ".." first when there is a parent
  int scroll_ = 0;
  int hover_row_ = -1;
};

}  // namespace setup
