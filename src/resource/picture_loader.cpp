#include "resource/picture_loader.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "resource/pack_file.h"
#include "resource/png_decode.h"

namespace {
// Decode's answer when the cap refused the picture (never a result of LoadFromPNG).
constexpr int kDeclined = 1;
}  // namespace

int PictureWorkers() {
  // A knob for measuring: 0 decodes every picture on the frame that asks for it.
  const char* v = std::getenv("LANTHORN_PICTURE_WORKERS");
  if (v && v[0] >= '0' && v[0] <= '2' && v[1] == 0) return v[0] - '0';
  return std::thread::hardware_concurrency() > 1 ? 2 : 1;
}

PictureLoader::PictureLoader(int workers, Limits limits) : limits_(limits) {
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

PictureLoader::~PictureLoader() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& t : workers_) t.join();
}

std::list<PictureLoader::Job>::iterator PictureLoader::Find(const CPackFile* archive,
                                                            const std::string& name,
                                                            bool claimed) {
  return std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) {
    return j.archive == archive && j.name == name && !j.dropped && j.claimed == claimed;
  });
}

void PictureLoader::Release(Job& job) {
  held_ -= job.bytes;
  job.bytes = 0;
  job.image.Release();
}

void PictureLoader::Expect(std::span<const Wanted> wanted) {
  if (workers_.empty()) return;  // nothing would ever decode ahead
  {
    std::lock_guard lock(mutex_);
    // The new order is built by moving the jobs still wanted into it, so a job keeps its decode
    // (and a waiting Load its iterator) whatever place it moves to.
    std::list<Job> next;
    const size_t count = std::min(wanted.size(), limits_.max_ahead);
    for (size_t i = 0; i < count; ++i) {
      const Wanted& w = wanted[i];
      if (!w.archive) continue;
      auto it = Find(w.archive, w.name, false);
      if (it == jobs_.end()) {
        Job& job = next.emplace_back();
        job.archive = w.archive;
        job.name = w.name;
        continue;
      }
      // A picture the cap refused earlier is tried again: pictures taken since may have made room.
      if (it->state == State::kDeclined) it->state = State::kQueued;
      next.splice(next.end(), jobs_, it);
    }
    for (auto it = jobs_.begin(); it != jobs_.end();) {
      auto job = it++;
      if (job->claimed) {
        next.splice(next.end(), jobs_, job);
      } else if (job->state == State::kRunning) {
        job->dropped = true;
        next.splice(next.end(), jobs_, job);
      } else {
        Release(*job);
      }
    }
    jobs_.swap(next);
  }
  work_.notify_all();
}

int PictureLoader::Load(const CPackFile& archive, const std::string& name, CImage32& out) {
  std::unique_lock lock(mutex_);
  auto it = Find(&archive, name, false);
  if (it != jobs_.end() && it->state == State::kRunning) {
    it->claimed = true;
    changed_.wait(lock, [&] { return it->state != State::kRunning; });
  }
  if (it == jobs_.end() || it->state != State::kDone) {
    // Not expected, not started, or refused by the cap: decoded here, as it always was.
    if (it != jobs_.end()) jobs_.erase(it);
    lock.unlock();
    return out.LoadFromPNG(name, archive);
  }
  const int result = it->result;
  std::string keep = out.Name();
  out = std::move(it->image);
  out.SetName(std::move(keep));
  it->image = CImage32();
  held_ -= it->bytes;
  jobs_.erase(it);
  lock.unlock();
  NotePngDecode();
  return result;
}

template <class Reserve>
int PictureLoader::Decode(const CPackFile& archive, const std::string& name, CImage32& out,
                          Reserve&& reserve) {
  const int32_t entry = archive.EntrySize(name);
  if (entry >= 0 && !reserve(static_cast<uint64_t>(entry) + 1)) return kDeclined;
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  if (int r = ReadPictureEntry(archive, name, data, size); r != 0) return r;
  if (!reserve(PngDecodePeakBytes(data.get(), size))) return kDeclined;
  return out.LoadFromPNGMemory(data.get(), size);
}

void PictureLoader::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    auto queued = [&] {
      return std::find_if(jobs_.begin(), jobs_.end(),
                          [](const Job& j) { return j.state == State::kQueued; });
    };
    work_.wait(lock, [&] { return stop_ || queued() != jobs_.end(); });
    if (stop_) return;
    Job& job = *queued();
    job.state = State::kRunning;
    lock.unlock();

    size_t reserved = 0;
    auto reserve = [&](uint64_t bytes) {
      std::lock_guard guard(mutex_);
      if (held_ + bytes > limits_.cap_bytes) return false;
      held_ += bytes;
      reserved += bytes;
      peak_ = std::max(peak_, held_);
      return true;
    };
    CImage32 image;
    const int result = Decode(*job.archive, job.name, image, reserve);

    lock.lock();
    // What the decode held at its peak shrinks to the pixels kept for the frame.
    held_ -= reserved;
    if (result == kDeclined) {
      job.state = State::kDeclined;
    } else {
      job.result = result;
      job.image = std::move(image);
      job.bytes = job.image.Pixels() ? static_cast<size_t>(job.image.ByteSize()) + 1 : 0;
      held_ += job.bytes;
      job.state = State::kDone;
    }
    if (job.dropped) {
      Release(job);
      jobs_.remove_if([&](const Job& j) { return &j == &job; });
    }
    changed_.notify_all();
  }
}

void PictureLoader::WaitIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] {
    return std::none_of(jobs_.begin(), jobs_.end(), [](const Job& j) {
      return j.state == State::kQueued || j.state == State::kRunning;
    });
  });
}

size_t PictureLoader::HeldBytes() const {
  std::lock_guard lock(mutex_);
  return held_;
}

size_t PictureLoader::PeakBytes() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

size_t PictureLoader::Expected() const {
  std::lock_guard lock(mutex_);
  return jobs_.size();
}
