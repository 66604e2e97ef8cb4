// The wall time from starting the game to its first frame presented in a real window, on a
// private Xvfb server, against a bare X11 program that shows one frame of the same size (the
// floor: starting a process, connecting to the server, mapping a window, putting one picture).
// The variants run in turn, run after run, so a load on the machine falls on all of them alike;
// each prints the median and the spread of every start-up mark the game writes (see
// platform/startup_marks.h): main (the program's own code starts), window, sound, device,
// engine (the title's resources loaded), frame (the first title frame presented); and cpu, the
// CPU time the program used in all (user and system, every thread, its ending included), which
// a loaded machine disturbs less than the wall times.
//
// Usage: window_startup [--runs N] [--game DIR] [--wm COMMAND] [--variant NAME PROGRAM [VAR=VALUE]...]...
// Without --variant: the built game, then the bare X11 program. PROGRAM "bare-x11" is the floor;
// VAR=VALUE pairs are set in that variant's environment (SDL_RENDER_DRIVER=software, ...).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kMarksFd = 9;  // the descriptor the child writes its marks to
const char* const kMarkOrder[] = {"main", "window", "sound", "device", "engine", "frame", "cpu"};

int64_t NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void Mark(const char* name) {
  char line[96];
  const int n = std::snprintf(line, sizeof line, "%s %lld\n", name, static_cast<long long>(NowNs()));
  if (n > 0 && ::write(kMarksFd, line, static_cast<size_t>(n)) < 0) std::perror("mark");
}

// The floor: one 800 × 600 frame in a new window, as little as an X11 program can do for it.
int BareX11Frame() {
  Mark("main");
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  const int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 800, 600, 0, 0, 0);
  XStoreName(display, window, "bare-x11");
  XSelectInput(display, window, StructureNotifyMask);
  Mark("window");
  XMapWindow(display, window);
  for (XEvent e;;) {
    XNextEvent(display, &e);
    if (e.type == MapNotify) break;
  }
  std::vector<uint32_t> pixels(800 * 600, 0xFF203040u);
  XImage* image = XCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen),
                               ZPixmap, 0, reinterpret_cast<char*>(pixels.data()), 800, 600, 32, 0);
  GC gc = XCreateGC(display, window, 0, nullptr);
  XPutImage(display, window, gc, image, 0, 0, 0, 0, 800, 600);
  XSync(display, False);
  Mark("frame");
  image->data = nullptr;  // the vector owns the pixels
  XDestroyImage(image);
  XFreeGC(display, gc);
  // Stays up like the game until told to end.
  pause();
  XCloseDisplay(display);
  return 0;
}

struct Variant {
  std::string name;
  std::string program;
  std::vector<std::string> env;
  fs::path game;  // its own copy of the demo game
  std::map<std::string, std::vector<double>> marks_ms;
  int failures = 0;
};

class Server {
 public:
  bool Start() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);  // before the write end takes descriptor 3, which may be the read end's
      dup2(fds[1], 3);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-noreset", "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buf[32] = {};
    ssize_t got = 0;
    for (ssize_t n; got < 31 && (n = read(fds[0], buf + got, 31 - got)) > 0;) {
      got += n;
      if (std::memchr(buf, '\n', static_cast<size_t>(got))) break;
    }
    close(fds[0]);
    if (got <= 0) return false;
    display_ = ":" + std::to_string(std::atoi(buf));
    setenv("DISPLAY", display_.c_str(), 1);
    return true;
  }
  ~Server() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// One start of a variant: the marks it wrote, in ms after the spawn; empty when it failed.
std::map<std::string, double> RunOnce(const Variant& v) {
  std::map<std::string, double> marks;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return marks;
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) env_strings.emplace_back(*e);
  env_strings.push_back("LANTHORN_STARTUP_MARKS=" + std::to_string(kMarksFd));
  for (const std::string& e : v.env) env_strings.push_back(e);
  std::vector<char*> envp;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::string program = v.program, game = v.game.string(), bare = "--bare-x11-frame";
  std::vector<char*> argv;
  if (v.program == "bare-x11") {
    program = fs::read_symlink("/proc/self/exe").string();
    argv = {program.data(), bare.data(), nullptr};
  } else {
    argv = {program.data(), game.data(), nullptr};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], kMarksFd);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int64_t start = NowNs();
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return marks;
  }
  std::string text;
  const int64_t deadline = start + 30LL * 1000000000LL;
  while (text.find("frame ") == std::string::npos && NowNs() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) continue;
    char buf[512];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;  // the program ended
    text.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  kill(pid, SIGTERM);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (text.find("frame ") == std::string::npos) return marks;
  // CPU of the whole run, its ending after the first frame included (all threads).
  marks["cpu"] = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) break;
    const std::string line = text.substr(at, end - at);
    const size_t space = line.find(' ');
    if (space != std::string::npos)
      marks[line.substr(0, space)] = (std::atoll(line.c_str() + space + 1) - start) / 1e6;
    at = end + 1;
  }
  return marks;
}

double Quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const double pos = q * (v.size() - 1);
  const size_t lo = static_cast<size_t>(pos);
  const size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (v[hi] - v[lo]) * (pos - lo);
}

int Usage() {
  std::fputs("usage: window_startup [--runs N] [--game DIR] [--wm COMMAND] "
             "[--variant NAME PROGRAM [VAR=VALUE]...]...\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--bare-x11-frame")) return BareX11Frame();
  int runs = 20;
  fs::path demo = LANTHORN_DEMO_DIR;
  std::string wm;
  std::vector<Variant> variants;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--game" && i + 1 < argc) {
      demo = argv[++i];
    } else if (a == "--wm" && i + 1 < argc) {
      wm = argv[++i];
    } else if (a == "--variant" && i + 2 < argc) {
      Variant v;
      v.name = argv[++i];
      v.program = argv[++i];
      while (i + 1 < argc && std::strchr(argv[i + 1], '=') && argv[i + 1][0] != '-')
        v.env.emplace_back(argv[++i]);
      variants.push_back(std::move(v));
    } else {
      return Usage();
    }
  }
  if (variants.empty()) {
    variants.push_back({"lanthorn", LANTHORN_GAME, {}, {}, {}, 0});
    variants.push_back({"bare-x11", "bare-x11", {}, {}, {}, 0});
  }

  Server server;
  if (!server.Start()) {
    std::fputs("window_startup: Xvfb did not start\n", stderr);
    return 1;
  }
  pid_t wm_pid = -1;
  if (!wm.empty()) {
    wm_pid = fork();
    if (wm_pid == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl("/bin/sh", "sh", "-c", wm.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    usleep(500000);  // a manager that is not up yet only makes the first runs those without one
  }

  const fs::path work = fs::temp_directory_path() /
                        ("lanthorn-window-startup-" + std::to_string(std::random_device{}()));
  for (size_t i = 0; i < variants.size(); ++i) {
    variants[i].game = work / std::to_string(i);
    fs::create_directories(variants[i].game);
    fs::copy(demo, variants[i].game, fs::copy_options::recursive);
    RunOnce(variants[i]);  // the first start writes the settings file; the page cache warms up
  }
  std::printf("%d runs of each on %s%s%s, variants in turn\n", runs, server.Display().c_str(),
              wm.empty() ? "" : " under ", wm.c_str());
  for (int r = 0; r < runs; ++r) {
    for (Variant& v : variants) {
      const auto marks = RunOnce(v);
      if (marks.empty()) ++v.failures;
      for (const auto& [name, ms] : marks) v.marks_ms[name].push_back(ms);
    }
  }
  if (wm_pid > 0) {
    kill(wm_pid, SIGTERM);
    waitpid(wm_pid, nullptr, 0);
  }
  std::error_code ec;
  fs::remove_all(work, ec);

  const double first_median =
      variants[0].marks_ms.count("frame") ? Quantile(variants[0].marks_ms["frame"], 0.5) : 0;
  for (Variant& v : variants) {
    std::printf("\n%s (%s", v.name.c_str(), v.program.c_str());
    for (const std::string& e : v.env) std::printf(" %s", e.c_str());
    std::printf(")%s\n", v.failures ? (" " + std::to_string(v.failures) + " runs failed").c_str() : "");
    std::printf("  %-7s %8s %8s %8s %8s %8s   (ms after the start; cpu: ms used)\n", "mark",
                "median", "p10", "p90", "min", "max");
    for (const char* name : kMarkOrder) {
      auto it = v.marks_ms.find(name);
      if (it == v.marks_ms.end() || it->second.empty()) continue;
      const std::vector<double>& ms = it->second;
      std::printf("  %-7s %8.1f %8.1f %8.1f %8.1f %8.1f\n", name, Quantile(ms, 0.5),
                  Quantile(ms, 0.1), Quantile(ms, 0.9), Quantile(ms, 0), Quantile(ms, 1));
    }
    if (v.marks_ms.count("frame") && first_median > 0)
      std::printf("  first frame: %.2f x %s\n", Quantile(v.marks_ms["frame"], 0.5) / first_median,
                  variants[0].name.c_str());
  }
  return 0;
}
