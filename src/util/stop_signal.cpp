#include "util/stop_signal.h"

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
  // Once caught, the next signal of the kind takes its default action: it ends the process.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
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
