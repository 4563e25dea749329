// What a command-line program does when it is told to stop (SIGINT, SIGTERM, SIGHUP;
// SIGXFSZ when a file outgrows its limit): the image being written is
// dropped, its temporary file removed, every image finished before stays
// whole; "PROGRAM: interrupted" goes to standard error and the
// process ends with 128 + the signal's number. The threads of a run keep
// those signals off (run/worker_signals.h).
#pragma once

// Installs the handlers for the rest of the process.
void HandleInterruptions();

// Tells the handler whether the progress line is on the terminal, so that its
// message starts on a line of its own.
void SetProgressLineDrawn(bool drawn);
