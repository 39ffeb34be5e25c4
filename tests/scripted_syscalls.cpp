#include "scripted_syscalls.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/syscalls.h"

SyscallScript& Script() {
    static auto* shared = static_cast<SyscallScript*>(mmap(nullptr, sizeof(SyscallScript),
        PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED) abort();
    return *shared;
}

void ResetScript(SyscallKind failKind, int failCall, int failError, int raiseSignal) {
    Script() = SyscallScript{};
    Script().failKind = failKind;
    Script().failCall = failCall;
    Script().failError = failError;
    Script().raiseSignal = raiseSignal;
}

void ForgetCalls() {
    SyscallScript& script = Script();
    std::fill(std::begin(script.calls), std::end(script.calls), 0);
    script.writeCount = 0;
}

// Counts the call; 0 when it goes ahead as usual, otherwise what the script makes of it.
static int Scripted(SyscallKind kind) {
    SyscallScript& script = Script();
    int call = ++script.calls[kind];
    if (kind != script.failKind || call != script.failCall) return 0;
    if (script.raiseSignal != 0) raise(script.raiseSignal);
    return script.failError;
}

static int Refused(int error) {
    errno = error;
    return -1;
}

int SysOpen(const char* path, int flags, mode_t mode) {
    int how = Scripted(CallOpen);
    return how != 0 ? Refused(how) : open(path, flags, mode);
}

int SysMakeTemp(char* pattern) {
    int how = Scripted(CallMakeTemp);
    return how != 0 ? Refused(how) : mkostemp(pattern, O_CLOEXEC);
}

int SysFstat(int handle, struct stat* status) {
    int how = Scripted(CallFstat);
    return how != 0 ? Refused(how) : fstat(handle, status);
}

ssize_t SysRead(int handle, void* block, size_t count) {
    int how = Scripted(CallRead);
    if (how == EarlyEnd) return 0;
    if (how == Partly) count /= 2;
    else if (how != 0) return Refused(how);
    return read(handle, block, count);
}

ssize_t SysWrite(int handle, const void* block, size_t count) {
    SyscallScript& script = Script();
    if (script.writeCount < MaxRecordedWrites) script.writeSizes[script.writeCount++] = count;
    int how = Scripted(CallWrite);
    if (how == Partly) count /= 2;
    else if (how != 0) return Refused(how);
    return write(handle, block, count);
}

int SysFsync(int handle) {
    int how = Scripted(CallFsync);
    return how != 0 ? Refused(how) : fsync(handle);
}

int SysClose(int handle) {
    // A failing close still closes, as close(2) does on Linux.
    int closed = close(handle);
    int how = Scripted(CallClose);
    return how != 0 ? Refused(how) : closed;
}

int SysRename(const char* from, const char* to) {
    int how = Scripted(CallRename);
    return how != 0 ? Refused(how) : rename(from, to);
}
