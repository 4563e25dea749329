// kelvane-convert's whole command, callable without a process of its own (the
// web page runs it in a worker): the command line in, the exit status out.
#pragma once

class RunProgress;

// Runs kelvane-convert with argv (argv[0] the program's name) as its process
// would, printing on standard output and standard error, and returns the exit
// status. Never ends the process; the current directory is as it was before,
// so that a second call in the same process works as the first.
// Interruptions are the caller's to handle; progress (none: nothing shown) is
// what the front end shows of the run while it goes on.
int RunConvertCommand(int argc, char** argv, RunProgress* progress = nullptr);
