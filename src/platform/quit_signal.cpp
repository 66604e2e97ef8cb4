#include "platform/quit_signal.h"

#include <csignal>
#include <initializer_list>

namespace platform {
namespace {

volatile std::sig_atomic_t quit_signalled = 0;

extern "C" void OnQuitSignal(int) { quit_signalled = 1; }

}  // namespace

void CatchQuitSignals() {
  struct sigaction action = {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

bool QuitSignalled() { return quit_signalled != 0; }

}  // namespace platform
