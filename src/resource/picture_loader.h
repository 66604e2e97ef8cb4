// Pictures decoded off the frame. The engine tells the loader which pictures it expects to ask
// for next (the picture commands ahead in the script, the title's set); worker threads read and
// decode them meanwhile, and the frame that asks for one takes it decoded, waits only for that
// one while its decode is under way, or decodes it itself when no worker has started it. The
// answer is always the one CImage32::LoadFromPNG gives for the same entry, failures included.
//
// Memory: the pictures decoded ahead, with the ones being decoded at their peak (pixels and
// rows), never hold more than the cap; a picture that would pass it is left for the frame that
// asks for it. At most `max_ahead` pictures are expected at once, whatever the list's length.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "resource/image.h"

class CPackFile;

// Workers for this machine: two, or one on a single core (the frame's thread needs the other);
// LANTHORN_PICTURE_WORKERS=0, 1 or 2 chooses (0: every picture decoded when it is asked for).
int PictureWorkers();

class PictureLoader {
 public:
  struct Limits {
    size_t cap_bytes = size_t{32} << 20;
    size_t max_ahead = 16;
  };
  struct Wanted {
    const CPackFile* archive = nullptr;
    std::string name;
  };

  explicit PictureLoader(int workers = 2) : PictureLoader(workers, Limits{}) {}
  PictureLoader(int workers, Limits limits);
  ~PictureLoader();
  PictureLoader(const PictureLoader&) = delete;
  PictureLoader& operator=(const PictureLoader&) = delete;

  // The pictures expected next, in the order they will be asked for (a name may come twice, for
  // two loads). What was decoded or queued ahead and is not on the list any more is dropped.
  void Expect(std::span<const Wanted> wanted);
  // Drops everything expected (a decode under way finishes and is thrown away).
  void Forget() { Expect({}); }

  // The named entry decoded into `out`: 0, -1 or -2 as CImage32::LoadFromPNG returns.
  int Load(const CPackFile& archive, const std::string& name, CImage32& out);

  // For tests and benchmarks: waits until no expected picture is queued or being decoded.
  void WaitIdle();
  size_t HeldBytes() const;
  size_t PeakBytes() const;  // the most HeldBytes has been
  size_t Expected() const;   // pictures queued, under way or decoded ahead

 private:
  enum class State { kQueued, kRunning, kDone, kDeclined };
  struct Job {
    const CPackFile* archive = nullptr;
    std::string name;
    State state = State::kQueued;
    bool dropped = false;  // no longer expected: thrown away when its decode ends
    bool claimed = false;  // a Load waits for it
    int result = -1;
    size_t bytes = 0;  // counted against the cap
    CImage32 image;
  };

  void Work();
  // Reads and decodes the job's entry outside the lock; `reserve` is asked with the peak bytes
  // the decode will hold and may refuse it (the job is then declined).
  template <class Reserve>
  static int Decode(const CPackFile& archive, const std::string& name, CImage32& out,
                    Reserve&& reserve);
  void Release(Job& job);  // held bytes back, under the lock
  std::list<Job>::iterator Find(const CPackFile* archive, const std::string& name, bool claimed);

  const Limits limits_;
  mutable std::mutex mutex_;
  std::condition_variable work_;     // a job was queued, or the loader stops
  std::condition_variable changed_;  // a job ended (done or declined)
  std::list<Job> jobs_;              // in expected order
  size_t held_ = 0, peak_ = 0;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};
