// What a command-line program does when it is told to stop (SIGINT, SIGTERM, SIGHUP;
// SIGXFSZ when a file outgrows its limit): the image being written is
// dropped, its temporary file removed, every image finished before stays
// whole; "PROGRAM: interrupted" goes to standard error and the
// process ends with 128 + the signal's number.
#pragma once

// Installs the handlers for the rest of the process.
void HandleInterruptions();

// For a thread a run starts: the signals that end the process go to the
// threads that did not call this (the one that started the run). A file that
// outgrows its limit still stops the thread that writes it.
void KeepInterruptionsOffThisThread();

// Tells the handler whether the progress line is on the terminal, so that its
// message starts on a line of its own.
void SetProgressLineDrawn(bool drawn);
