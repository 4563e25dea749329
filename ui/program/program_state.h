// The program's process-wide values put back to how a fresh process has
// them: its tests run one after the other in one process.
#pragma once

void ResetProgramState();
