// One batch run of kelvane-convert: the palette, the files, the conversion.
#pragma once

#include "run/options.h"

class RunProgress;

// Works in options.folder, settles the palette, converts options.files (or
// every *.dc6 of the folder, in name order) through the same steps as the
// program's Convert, reports notices on standard error and ends standard
// output with "Successfully converted %d files". Returns the exit status.
// progress, when there is one and the user did not ask for quiet, is shown
// file by file.
int RunBatch(const Options& options, RunProgress* progress);
