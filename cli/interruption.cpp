#include "cli/interruption.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "run/command_line.h"
#include "platform/output_file.h"

namespace {

volatile std::sig_atomic_t progressLineDrawn = 0;

void WriteError(const char* text) {
#ifdef _WIN32
    _write(2, text, static_cast<unsigned>(std::strlen(text)));
#else
    // Nothing to do about a failed write here: the process is ending.
    if (write(2, text, std::strlen(text)) < 0) return;
#endif
}

// Only async-signal-safe calls: the removal of temporary files (fstatat,
// unlinkat, nanosleep), write, _exit.
extern "C" void OnInterruption(int signal) {
    platform::RemoveTemporaryFilesInProgress();
    if (progressLineDrawn) WriteError("\n");
    WriteError(programName);
    WriteError(": interrupted\n");
    _exit(128 + signal);
}

}  // namespace

void SetProgressLineDrawn(bool drawn) { progressLineDrawn = drawn ? 1 : 0; }

void HandleInterruptions() {
#ifdef _WIN32
    std::signal(SIGINT, OnInterruption);
    std::signal(SIGTERM, OnInterruption);
#else
    struct sigaction action {};
    action.sa_handler = OnInterruption;
    sigfillset(&action.sa_mask);  // one handler at a time: the first signal wins
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) sigaction(signal, &action, nullptr);
#endif
}
