// What the program's conversion run writes, and where: the program's own
// values (it converts on one thread), which its path hands to the value core.
#pragma once

#include "convert/output_options.h"
#include "platform/output_folder.h"

// The program's Convert uses the defaults (8-bit PCX in "PCXFiles").
extern OutputOptions outputOptions;

// The folder the current sprite's files go to, while a run has one open
// (EnsureOutputFolder); none otherwise, and then nothing is written.
extern platform::OutputFolder* outputFolder;
