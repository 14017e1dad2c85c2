#include "util/stop_signal.h"

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <initializer_list>

namespace stemscan {
namespace {

volatile std::sig_atomic_t pending = 0;

void onStopSignal(int signal) { pending = signal; }

}  // namespace

void installStopSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before;
    // A signal ignored when the program started (nohup's SIGHUP, a background job's SIGINT)
    // stays ignored.
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    // A second Ctrl+C at a terminal ends at once; any other second signal (timeout and
    // process managers send two) waits for the tables like the first.
    action.sa_flags = SA_RESTART;
    if (signal == SIGINT && isatty(STDIN_FILENO)) action.sa_flags |= SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
  // A closed pipe or a file-size limit makes a write fail, which is reported like any failed
  // write, instead of ending the process with tables of an earlier image.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

int pendingStopSignal() { return pending; }

const char* stopSignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace stemscan
