// The record of the temporary files an OutputFile names, for a signal handler
// that ends the process (RemoveTemporaryFilesInProgress, output_file.h), and
// the random names those files take.
//
// Each entry is taken by one file and moved through the states below by that
// file's thread alone; the handler only reads them. Nothing here allocates or
// locks on the handler's side.
#pragma once

#include <string>

namespace platform::temporary_record {

enum State : int {
    kFree = 0,
    kClaimed = 1,    // taken; no name of ours exists
    kRemovable = 2,  // our name exists: the handler may remove it
    kMoving = 3,     // a name is being created or moved into place: the handler waits
};

// How many fresh names a file tries before it gives up.
constexpr int kNameAttempts = 100;

// An entry for a file that will name a temporary; -1 when all are taken (the
// file then goes unrecorded, and an interruption may leave its name behind).
int TakeEntry();

// Moves entry (-1: none) to state.
void SetState(int entry, int state);

// Enters kMoving before a name is created or moved; false, with the entry
// put into stateAfterRefusal, when the process is being ended: then nothing
// may be named.
bool BeginMoving(int entry, int stateAfterRefusal);

// True once the handler has begun ending the process.
bool Ending();

// Frees entry and sets it to -1.
void ReleaseEntry(int& entry);

// Remembers the name the entry's file takes: on Windows the whole path, elsewhere
// the name in its folder (cut to what the entry holds).
void RecordName(int entry, const std::string& name);

#ifndef _WIN32
// Remembers the folder descriptor and the identity of the entry's file, so
// that the handler removes the name only while it still leads to that file.
void RecordIdentity(int entry, int folder, unsigned long long device, unsigned long long inode);

// Removes the name in folder while it still leads to the file of that identity.
bool RemoveIfSame(int folder, const char* name, unsigned long long device, unsigned long long inode);
#endif

// A name nobody can guess beforehand ("~kelvane" and 16 hex digits ".tmp"):
// from a generator seeded once per thread from the system's random source and
// the clock.
std::string RandomName();

}  // namespace platform::temporary_record
