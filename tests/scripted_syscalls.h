#pragma once
// The test build's system calls for data files: each call is counted, every write
// request is recorded with the size asked for, and one chosen call can be made to fail
// or to be carried out only in part.

#include <cstddef>

enum SyscallKind { CallOpen, CallMakeTemp, CallFstat, CallRead, CallWrite, CallFsync, CallClose,
                   CallRename, CallKinds };

// In place of an error number: carry out only half of a read or write request; or
// answer a read as if the file had ended.
constexpr int Partly = -1;
constexpr int EarlyEnd = -2;

constexpr size_t MaxRecordedWrites = 4096;

struct SyscallScript {
    SyscallKind failKind;
    int failCall;    // 1 for the first call of failKind; 0 fails nothing
    int failError;   // the error number the failing call reports, Partly or EarlyEnd
    int raiseSignal; // raised by the chosen call before it goes on as failError says
    int calls[CallKinds];
    size_t writeCount;
    size_t writeSizes[MaxRecordedWrites];
};

// Lives in memory shared across fork, so that a run in a child process reports back.
SyscallScript& Script();
// Forgets all counts and records; makes the k-th call of the kind fail as given.
void ResetScript(SyscallKind failKind = CallOpen, int failCall = 0, int failError = 0,
                 int raiseSignal = 0);
// Forgets all counts and records, keeping what the script says is to fail.
void ForgetCalls();
