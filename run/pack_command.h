// kelvane-pack as a function: the whole command, from its arguments to its
// exit status, without the process around it.
//
// The program's main calls it once; the web page calls it again and again in
// one process. It never ends the process, prints only to standard output and
// standard error, and leaves the current directory as it found it (-C moves
// into the folder for the command's length only).
#pragma once

#include "convert/pack_image.h"

// Runs kelvane-pack with argv[0..argc) (argv[0] is the program's name, not
// read) and returns its exit status: 0, 1, 2 as its --help says. wording
// fills the notices' advice: the page names its controls where the program
// names its options.
int RunPackCommand(int argc, char** argv, const PackWording& wording = kCommandLineWording);
