// The threads a run starts and the signals that stop a command-line program.
#pragma once

// For a thread a run starts: the signals that end the process (SIGINT,
// SIGTERM, SIGHUP) go to the threads that did not call this (the one that
// started the run). A file that outgrows its limit still stops the thread
// that writes it.
void KeepInterruptionsOffThisThread();
