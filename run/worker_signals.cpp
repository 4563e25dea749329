#include "run/worker_signals.h"

#ifndef _WIN32
#include <pthread.h>

#include <csignal>
#include <initializer_list>
#endif

void KeepInterruptionsOffThisThread() {
#ifndef _WIN32
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
#endif
}
