// The movie layer: the player's life from "@movie_load" to "@movie_stop", its quad and the story's
// wait for the end.
#include "screens/movie_layer.h"

#include <algorithm>
#include <array>

#include "audio/sound.h"
#include "graphics/graphics.h"
#include "save/system_data.h"

MovieLayer::MovieLayer(CGraphics& graphics, CSound& sound, platform::Clock& clock)
    : graphics_(graphics), sound_(sound), clock_(clock) {}

void MovieLayer::Load(std::string_view path, int volume_index) {
  Stop();
  player_ = std::make_unique<CMoviePlayer>();
  player_->SetClock(&clock_);
  player_->SetVolume(VolumePercent[std::clamp(volume_index, 0, 8)]);
  player_->Open(graphics_.Device(), sound_.Device(), path, true);
  stop_time_ = player_->StopTime();
  u_ = player_->U();
  v_ = player_->V();
  file_ = std::string(path);
}

void MovieLayer::Play() {
  if (!player_) return;
  player_->Run();
  active_ = true;
  ended_ = false;
  // A movie that did not open has nothing to wait for.
  completed_ = !player_->IsOpen();
}

void MovieLayer::Stop() {
  player_.reset();  // closes the player: its thread, its textures, its sound
  active_ = ended_ = completed_ = false;
}

void MovieLayer::Poll() {
  if (!active_ || !player_ || completed_) return;
  if (player_->PollEnd() == -1) {
    ended_ = true;
    completed_ = true;
  }
}

bool MovieLayer::HoldsStory() {
  if (!active_) return false;
  if (ended_) {
    ended_ = false;
    return false;
  }
  return !completed_;
}

void MovieLayer::Draw(float x, float y, float w, float h) {
  gfx::DeviceTexture* texture = player_ ? player_->Texture() : nullptr;
  if (!texture) return;
  gfx::Device& device = graphics_.Device();
  const float z = device.SpriteDepth();
  const float l = x - 0.5f, t = y - 0.5f;
  // The pictures are stored bottom-up: the top of the screen takes the texture's row v.
  std::array<gfx::TLVertex, 4> quad{};
  quad[0] = {l, t, z, 1, 0xFFFFFFFFu, 0, 0, v_};
  quad[1] = {l + w, t, z, 1, 0xFFFFFFFFu, 0, u_, v_};
  quad[2] = {l, t + h, z, 1, 0xFFFFFFFFu, 0, 0, 0};
  quad[3] = {l + w, t + h, z, 1, 0xFFFFFFFFu, 0, u_, 0};
  device.SetTexture(texture);
  device.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
  device.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, quad.data());
}
