// The movie layer: the one movie player of the game, the story's movie between the background and
// the characters, and the picture the movie room shows in its frame. "@movie_load" opens a file
// (a player already open is closed), "@movie_play" runs it and makes the layer active,
// "@movie_stop" closes it. While the layer is active the story waits until the movie has run to
// its end; the last picture then stays on screen until "@movie_stop". A skip (Esc or a right
// click) closes the movie at once.
//
// A movie that could not be opened (its message was shown) counts as ended at once: the layer
// stays active and empty, and the story goes on.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "movie/movie_player.h"

class CGraphics;
class CSound;
namespace platform {
class Clock;
}

class MovieLayer {
 public:
  // `clock` times movies without sound (the frame loop's clock, so a headless game steps them).
  MovieLayer(CGraphics& graphics, CSound& sound, platform::Clock& clock);
  MovieLayer(const MovieLayer&) = delete;
  MovieLayer& operator=(const MovieLayer&) = delete;

  // Closes any movie and opens `path` (a game path) with its sound at the movie volume index
  // (0-8). The name is kept for the save slots.
  void Load(std::string_view path, int volume_index);
  // Runs the loaded movie; the layer becomes active.
  void Play();
  // Closes the movie; the layer is inactive.
  void Stop();

  // Once a frame while active: asks the player whether the movie has completed.
  void Poll();
  // The movie's picture over (x, y)-(x + w, y + h), flipped upright; nothing without a picture.
  void Draw(float x, float y, float w, float h);
  void DrawFullScreen() { Draw(0, 0, 800, 600); }

  // For a headless frame loop, after its clock and sound have moved on: lets the movie thread
  // catch up with them, so the frame shows the picture that is due (at most two seconds).
  void CatchUp() {
    if (active_ && !completed_ && player_) player_->CatchUp(2000);
  }

  // The story's update step: true while it must wait for the movie this frame. The one frame
  // after the end was reported the story goes on (and every frame after it).
  bool HoldsStory();

  bool Active() const { return active_; }
  // The movie has run to its end (or never opened); its last picture is still shown.
  bool Completed() const { return completed_; }
  // A movie runs with its sound: its clock is the sound device's play position.
  bool PlayingWithSound() const { return active_ && !completed_ && player_ && player_->HasSound(); }
  const std::string& FileName() const { return file_; }
  double StopTime() const { return stop_time_; }
  const CMoviePlayer* Player() const { return player_.get(); }

 private:
  CGraphics& graphics_;
  CSound& sound_;
  platform::Clock& clock_;
  std::unique_ptr<CMoviePlayer> player_;
  bool active_ = false;
  bool ended_ = false;  // the end was reported and the story has not seen it yet
  bool completed_ = false;
  double stop_time_ = 0;
  float u_ = 1, v_ = 1;
  std::string file_;
};
