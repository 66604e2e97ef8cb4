// The background channels and character slots: their transitions, stepped by counted
// milliseconds, and their drawing in layer order.
#include "scene/layers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace scene {

namespace {
int ClampAlpha(float a) { return a <= 0 ? 0 : a >= 255 ? 255 : static_cast<int>(a); }
// Duration of a movement of `distance` pixels at `speed`: (distance / speed) × 10 ms, integer
// division. A speed of 0 or less would divide by zero; such a movement happens at once.
int MoveDuration(int distance, int32_t speed) { return speed > 0 ? distance / speed * 10 : 0; }
}  // namespace

// ---------------------------------------------------------------------------------------------
// Backgrounds

bool Backgrounds::Create(gfx::Device& device) {
  bool ok = true;
  for (BgChannel& ch : channels_) {
    if (ch.image.Width() != 800 || ch.image.Height() != 600) ok = ch.image.Create(800, 600) && ok;
    ok = ch.blocks.Create(device) && ok;
  }
  Reset();
  return ok;
}

void Backgrounds::Release() {
  for (BgChannel& ch : channels_) ch.blocks.Release();
}

void Backgrounds::Reset() {
  for (BgChannel& ch : channels_) ch.blocks.SetAlpha(255);
  front_ = 0;
  transition_ = BgTransition::kNone;
}

void Backgrounds::StartChange(int32_t n) {
  if (n <= 1) {
    Swap();
    channels_[front_].blocks.SetAlpha(255);
    transition_ = BgTransition::kNone;
    return;
  }
  counter_ = static_cast<float>(n);
  step_ = 255.0f / static_cast<float>(n);
  transition_ = BgTransition::kChange;
}

void Backgrounds::StartScroll(ScrollWay way, int32_t n) {
  for (BgChannel& ch : channels_) ch.blocks.SetAlpha(255);
  if (n <= 0) {  // no time to scroll in: the new picture is there at once
    Swap();
    transition_ = BgTransition::kNone;
    return;
  }
  way_ = way;
  const bool vertical = way == ScrollWay::kUp || way == ScrollWay::kDown;
  rate_ = (vertical ? 600.0f : 800.0f) / static_cast<float>(n);
  offset_ = 0;
  transition_ = BgTransition::kScroll;
}

void Backgrounds::StartWipe(int32_t n, BlockMask& mask) {
  mask.FillWipe3(10, 255);
  const float duration = static_cast<float>(std::max(n, 1));
  rate_ = 755.0f / duration;
  wipe_timer_ = static_cast<float>(n);
  transition_ = BgTransition::kWipe;
}

void Backgrounds::Step(float elapsed, float wipe_elapsed, BlockMask& mask) {
  switch (transition_) {
    case BgTransition::kNone:
      break;
    case BgTransition::kChange:
      counter_ -= elapsed;
      if (counter_ <= 0) {
        channels_[1].blocks.SetAlpha(front_ == 1 ? 0 : 255);
        Swap();
        transition_ = BgTransition::kNone;
      }
      break;
    case BgTransition::kScroll: {
      offset_ += elapsed * rate_;
      const bool vertical = way_ == ScrollWay::kUp || way_ == ScrollWay::kDown;
      if (offset_ >= (vertical ? 600.0f : 800.0f)) {
        Swap();
        transition_ = BgTransition::kNone;
      }
      break;
    }
    case BgTransition::kWipe:
      mask.Add(-std::floor(wipe_elapsed * rate_));
      wipe_timer_ -= wipe_elapsed;
      if (wipe_timer_ < 0) {
        Swap();
        for (BgChannel& ch : channels_) ch.blocks.SetAlpha(255);
        transition_ = BgTransition::kNone;
      }
      break;
  }
}

void Backgrounds::Draw(gfx::Device& device, Offset quake, const Wave* wave,
                       const BlockMask& mask) {
  const float qx = static_cast<float>(quake.x);
  const float qy = static_cast<float>(quake.y);
  BlockLayer& front = channels_[front_].blocks;
  BlockLayer& back = channels_[front_ ^ 1].blocks;
  switch (transition_) {
    case BgTransition::kNone:
      // A channel left transparent by an earlier fade-out is shown opaque when it is front again.
      if (front.Alpha() != 255) front.SetAlpha(255);
      front.Draw(device, qx, qy, wave);
      break;
    case BgTransition::kChange: {
      const float g = std::max(counter_, 0.0f) * step_;
      channels_[0].blocks.SetAlpha(255);
      channels_[1].blocks.SetAlpha(ClampAlpha(front_ == 1 ? g : 255 - g));
      channels_[0].blocks.Draw(device, qx, qy, wave);
      channels_[1].blocks.Draw(device, qx, qy, wave);
      break;
    }
    case BgTransition::kScroll: {
      const float f = std::min(offset_, way_ == ScrollWay::kUp || way_ == ScrollWay::kDown ? 600.0f : 800.0f);
      float fx = 0, fy = 0, bx = 0, by = 0;
      switch (way_) {
        case ScrollWay::kUp: fy = -f; by = 600 - f; break;
        case ScrollWay::kDown: fy = f; by = f - 600; break;
        case ScrollWay::kLeft: fx = -f; bx = 800 - f; break;
        case ScrollWay::kRight: fx = f; bx = f - 800; break;
      }
      front.Draw(device, std::floor(fx) + qx, std::floor(fy) + qy, wave);
      back.Draw(device, std::floor(bx) + qx, std::floor(by) + qy, wave);
      break;
    }
    case BgTransition::kWipe:
      back.SetAlpha(255);
      back.Draw(device, qx, qy, wave);
      front.Draw(device, qx, qy, wave, &mask);
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// Characters

void ChrBuffer::SetAlpha(int a) {
  blocks.SetAlpha(a);
  for (CSprite& s : shadow) s.SetAlpha(a / 2);
}

bool Characters::Create(gfx::Device& device) {
  bool ok = true;
  for (ChrSlot& slot : slots_) {
    for (ChrBuffer& b : slot.buffers) {
      ok = b.blocks.Create(device) && ok;
      for (int i = 0; i < kCharacterBlocks; ++i) b.shadow[i] = b.blocks.Block(i);
    }
  }
  Reset();
  return ok;
}

void Characters::Release() {
  for (ChrSlot& slot : slots_)
    for (ChrBuffer& b : slot.buffers) b.blocks.Release();
}

void Characters::Reset() {
  for (ChrSlot& slot : slots_) {
    for (ChrBuffer& b : slot.buffers) b.SetAlpha(255);
    slot.front = 0;
    slot.visible = false;
    slot.shadow = true;
    slot.position = 0;
    slot.offset = {};
    slot.moving = slot.clear_on_arrival = false;
    slot.fade = ChrFade::kNone;
    slot.turning = false;
  }
  anime_ = Animation{};
}

bool Characters::StartChange(int s, int32_t n) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  if (n <= 0) {
    slot.front ^= 1;
    slot.Front().SetAlpha(255);
    slot.fade = ChrFade::kNone;
    return true;
  }
  slot.Front().SetAlpha(255);
  slot.Back().SetAlpha(0);
  slot.fade = ChrFade::kChangeIn;
  slot.fade_left = slot.fade_length = static_cast<float>(n);
  return true;
}

bool Characters::StartSlideIn(int s, int position, int32_t speed, SlideWay way) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  slot.front ^= 1;
  slot.Front().SetAlpha(255);
  slot.visible = true;
  slot.position = position;
  const int x = StandardX(position);
  int distance = 0;
  switch (way) {
    case SlideWay::kTop: slot.move_from = {x, 600}; distance = 600; break;
    case SlideWay::kBottom: slot.move_from = {x, -608}; distance = 608; break;
    case SlideWay::kLeft: slot.move_from = {-512, 0}; distance = std::abs(x + 512); break;
    case SlideWay::kRight: slot.move_from = {800, 0}; distance = std::abs(x - 800); break;
  }
  slot.move_to = {x, 0};
  slot.move_now = slot.move_from;
  slot.move_duration = MoveDuration(distance, speed);
  slot.move_elapsed = 0;
  slot.moving = true;
  slot.clear_on_arrival = false;
  return true;
}

bool Characters::StartSlideOut(int s, int32_t speed, SlideWay way) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  const int x = StandardX(slot.position);
  slot.move_from = {x, 0};
  switch (way) {
    case SlideWay::kTop: slot.move_to = {x, -608}; break;
    case SlideWay::kBottom: slot.move_to = {x, 608}; break;
    case SlideWay::kLeft: slot.move_to = {-512, 0}; break;
    case SlideWay::kRight: slot.move_to = {800, 0}; break;
  }
  const bool vertical = way == SlideWay::kTop || way == SlideWay::kBottom;
  slot.move_duration =
      MoveDuration(vertical ? 608 : std::abs(slot.move_to.x - slot.move_from.x), speed);
  slot.move_now = slot.move_from;
  slot.move_elapsed = 0;
  slot.moving = true;
  slot.clear_on_arrival = true;
  return true;
}

bool Characters::StartMove(int s, int position, int32_t speed) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  slot.move_from = {StandardX(slot.position), 0};
  slot.move_to = {StandardX(position), 0};
  slot.move_now = slot.move_from;
  slot.move_duration = MoveDuration(std::abs(slot.move_to.x - slot.move_from.x), speed);
  slot.move_elapsed = 0;
  slot.moving = true;
  slot.clear_on_arrival = false;
  slot.position = position;
  return true;
}

bool Characters::StartFadeIn(int s, int32_t n) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  slot.front ^= 1;
  slot.visible = true;
  slot.fade = ChrFade::kFadeIn;
  slot.fade_alpha = 0;
  slot.fade_step = n > 0 ? 255.0f / static_cast<float>(n) : 1e9f;
  slot.Front().SetAlpha(0);
  return true;
}

bool Characters::StartFadeOut(int s, int32_t n) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  slot.fade = ChrFade::kFadeOut;
  slot.fade_alpha = 255;
  slot.fade_step = n > 0 ? -255.0f / static_cast<float>(n) : -1e9f;
  slot.Front().SetAlpha(255);
  return true;
}

bool Characters::StartTurn(int s, int32_t n) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  slot.Back().SetAlpha(255);
  slot.Front().SetAlpha(255);
  slot.visible = true;
  slot.turning = true;
  slot.turn_elapsed = 0;
  slot.turn_n = n;
  slot.turn_rate = n > 0 ? 1000.0f / static_cast<float>(n) : 1e9f;
  return true;
}

void Characters::CancelTurns() {
  for (ChrSlot& slot : slots_) slot.turning = false;
}

bool Characters::SetPosition(int s, int position) {
  if (!Valid(s)) return false;
  slots_[s].position = position;
  return true;
}

bool Characters::Show(int s, bool on) {
  if (!Valid(s)) return false;
  ChrSlot& slot = slots_[s];
  slot.visible = on;
  // A picture left transparent by a finished fade-out is shown whole again.
  if (on && slot.fade == ChrFade::kNone && !slot.turning) slot.Front().SetAlpha(255);
  return true;
}

bool Characters::Swap(int s) {
  if (!Valid(s)) return false;
  slots_[s].front ^= 1;
  if (slots_[s].fade == ChrFade::kNone) slots_[s].Front().SetAlpha(255);
  return true;
}

bool Characters::Clear(int s, int buffer) {
  if (!Valid(s) || buffer < 0 || buffer > 1) return false;
  ChrBuffer& b = slots_[s].buffers[buffer];
  b.cache_name.clear();
  return b.blocks.Clear();
}

void Characters::EndMove(ChrSlot& slot) {
  slot.moving = false;
  slot.move_now = slot.move_to;
  slot.offset = {};
  if (slot.clear_on_arrival) {
    slot.clear_on_arrival = false;
    slot.Back().cache_name.clear();
    slot.Back().blocks.Clear();
    slot.front ^= 1;
  }
}

void Characters::EndFade(ChrSlot& slot) {
  slot.fade = ChrFade::kNone;
}

void Characters::EndTurn(ChrSlot& slot) {
  slot.turning = false;
  slot.front ^= 1;
  slot.Front().SetAlpha(255);
}

void Characters::Step(float elapsed) {
  for (ChrSlot& slot : slots_) {
    if (slot.moving) {
      slot.move_elapsed += elapsed;
      if (slot.move_elapsed >= static_cast<float>(slot.move_duration)) {
        EndMove(slot);
      } else {
        // start + t × |end − start| / duration towards the end, never past it.
        const float t = slot.move_elapsed / static_cast<float>(slot.move_duration);
        auto along = [t](int from, int to) {
          const int d = static_cast<int>(t * static_cast<float>(std::abs(to - from)));
          return from + (to >= from ? std::min(d, to - from) : -std::min(d, from - to));
        };
        slot.move_now = {along(slot.move_from.x, slot.move_to.x),
                         along(slot.move_from.y, slot.move_to.y)};
      }
    }
    float left = elapsed;  // what a phase leaves over runs on into the next
    while (slot.fade != ChrFade::kNone && left > 0) {
      if (slot.fade == ChrFade::kChangeIn || slot.fade == ChrFade::kChangeOut) {
        const float used = std::min(left, slot.fade_left);
        slot.fade_left -= used;
        left -= used;
        const float part = slot.fade_length > 0 ? slot.fade_left / slot.fade_length : 0;
        if (slot.fade == ChrFade::kChangeIn) {
          slot.Back().SetAlpha(ClampAlpha(255 - part * 255));
          if (slot.fade_left <= 0) {
            slot.Back().SetAlpha(255);
            slot.fade = ChrFade::kChangeOut;
            slot.fade_length = slot.fade_left = std::floor(slot.fade_length / 2);
            if (slot.fade_length <= 0) left = std::max(left, 1.0f);
          }
        } else {
          slot.Front().SetAlpha(ClampAlpha(part * 255));
          if (slot.fade_left <= 0) {
            slot.front ^= 1;
            slot.Front().SetAlpha(255);
            EndFade(slot);
          }
        }
      } else {
        slot.fade_alpha += left * slot.fade_step;
        left = 0;
        if (slot.fade == ChrFade::kFadeIn && slot.fade_alpha >= 255) {
          slot.fade_alpha = 255;
          EndFade(slot);
        } else if (slot.fade == ChrFade::kFadeOut && slot.fade_alpha < 1) {
          slot.fade_alpha = 0;
          slot.visible = false;
          EndFade(slot);
        }
        slot.Front().SetAlpha(ClampAlpha(slot.fade_alpha));
      }
    }
    if (slot.turning) {
      slot.turn_elapsed += elapsed;
      if (slot.turn_elapsed * slot.turn_rate >= 1000.0f) EndTurn(slot);
    }
  }
}

void Characters::DrawBuffer(gfx::Device& device, ChrSlot& slot, ChrBuffer& buffer, Offset quake,
                            const Wave* wave) {
  const int x = slot.moving ? slot.move_now.x : StandardX(slot.position) + slot.offset.x;
  const int y = slot.moving ? slot.move_now.y : slot.offset.y;
  buffer.blocks.Draw(device, static_cast<float>(x + quake.x), static_cast<float>(y + quake.y),
                     wave);
}

void Characters::Draw(gfx::Device& device, Offset quake, const Wave* wave) {
  for (int s = 0; s < kSlotCount; ++s) {
    ChrSlot& slot = slots_[s];
    if (anime_.running && s > 0) {
      if (s == 2) continue;  // slots B and C give way to the animation's current picture
      const int p = anime_.steps[anime_.step].pattern;
      if (p >= 0) {
        ChrSlot& shown = slots_[p / 2 % 2 + 1];
        DrawBuffer(device, shown, shown.buffers[p % 2], quake, wave);
      }
      continue;
    }
    if (!slot.visible) continue;
    if (slot.turning) {
      // A card turning on its vertical axis: the old face narrows to an edge, the new one widens
      // from it.
      constexpr float kPi = 3.14159265358979f;
      const float p = std::min(slot.turn_elapsed * slot.turn_rate / 1000.0f, 1.0f);
      const float x = static_cast<float>(StandardX(slot.position) + slot.offset.x + quake.x);
      const float y = static_cast<float>(slot.offset.y + quake.y);
      const float scale = std::cos(p * kPi);
      ChrBuffer& face = scale >= 0 ? slot.Front() : slot.Back();
      face.blocks.DrawSqueezed(device, x, y, x + 256, std::fabs(scale));
      continue;
    }
    switch (slot.fade) {
      case ChrFade::kChangeIn:
      case ChrFade::kChangeOut:
        DrawBuffer(device, slot, slot.Front(), quake, wave);
        DrawBuffer(device, slot, slot.Back(), quake, wave);
        break;
      default:
        DrawBuffer(device, slot, slot.Front(), quake, wave);
        break;
    }
  }
}

bool Characters::Busy() const {
  for (const ChrSlot& slot : slots_)
    if (slot.Busy()) return true;
  return false;
}

bool Characters::Turning() const {
  for (const ChrSlot& slot : slots_)
    if (slot.turning) return true;
  return false;
}

void Characters::StepAnime(uint32_t now) {
  if (!anime_.running || anime_.paused) return;
  const AnimeStep& step = anime_.steps[anime_.step];
  if (static_cast<int32_t>(now - (anime_.step_start + static_cast<uint32_t>(step.wait))) > 0) {
    anime_.step_start = now;
    ++anime_.step;
    if (anime_.step >= kAnimeSteps || anime_.steps[anime_.step].pattern < 0) anime_.step = 0;
  }
}

}  // namespace scene
