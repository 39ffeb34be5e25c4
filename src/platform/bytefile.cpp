#include "platform/platform.h"
#include "platform/syscalls.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int PendingIoError = 0;

static void SetIoError(int error) { PendingIoError = error != 0 ? error : EIO; }

int TakeIoError() {
    int error = PendingIoError;
    PendingIoError = 0;
    return error;
}

// The replacement being written, and the file it is to replace. The signal handler reads
// TempPath, so it is only changed while the termination signals are blocked; empty when
// no replacement is unfinished.
static char TempPath[PATH_MAX + 32];
static char TargetPath[PATH_MAX];
static const char TempName[] = ".mordrin-XXXXXX";

// The signals by which a user or the system asks the run to stop.
static const int TerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

static void SetTerminationSignals(sigset_t* set) {
    sigemptyset(set);
    for (int signalNumber : TerminationSignals) sigaddset(set, signalNumber);
}

static void BlockTerminationSignals(sigset_t* previous) {
    sigset_t blocked;
    SetTerminationSignals(&blocked);
    sigprocmask(SIG_BLOCK, &blocked, previous);
}

static void RestoreSignals(const sigset_t* previous) { sigprocmask(SIG_SETMASK, previous, nullptr); }

static void RemoveTempAndDie(int signalNumber) {
    if (TempPath[0] != '\0') unlink(TempPath);
    // The default action was restored on entry; the signal is delivered again when this
    // handler returns, so the process ends as the sender expects.
    raise(signalNumber);
}

static void InstallCleanupHandlers() {
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    action.sa_flags = SA_RESETHAND;
    SetTerminationSignals(&action.sa_mask);
    for (int signalNumber : TerminationSignals) {
        struct sigaction current {};
        sigaction(signalNumber, nullptr, &current);
        // A signal the caller chose to ignore (nohup, a script's trap) stays ignored.
        if (current.sa_handler != SIG_IGN) sigaction(signalNumber, &action, nullptr);
    }
}

void DiscardReplacement() {
    sigset_t previous;
    BlockTerminationSignals(&previous);
    if (TempPath[0] != '\0') unlink(TempPath);
    TempPath[0] = '\0';
    RestoreSignals(&previous);
}

void BindFile(ByteFile& file, const char* path) {
    file.path = path;
    file.handle = -1;
    file.replacing = false;
}

void OpenExisting(ByteFile& file) {
    int handle = SysOpen(file.path, O_RDONLY | O_CLOEXEC | O_NOCTTY, 0);
    if (handle < 0) {
        SetIoError(errno);
        return;
    }
    // Opening a folder for reading succeeds on POSIX, but a folder is no file to convert.
    int error = 0;
    if (SysFstat(handle, &file.status) != 0) error = errno;
    else if (S_ISDIR(file.status.st_mode)) error = EISDIR;
    if (error != 0) {
        SysClose(handle);
        SetIoError(error);
        return;
    }
    file.handle = handle;
}

void CreateFile(ByteFile& file) {
    // Write-only, because on a FIFO read-write would never wait for a reader.
    int handle = SysOpen(file.path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (handle < 0) {
        SetIoError(errno);
        return;
    }
    file.handle = handle;
}

bool IsSameRegularFile(const char* path, const struct stat& status) {
    struct stat other;
    return stat(path, &other) == 0 && S_ISREG(other.st_mode) && S_ISREG(status.st_mode) &&
           other.st_dev == status.st_dev && other.st_ino == status.st_ino;
}

void CreateReplacement(ByteFile& file) {
    // Work on the file the path leads to, so that a symbolic link stays a link and the
    // temporary file lies on the same file system as its target.
    struct stat target;
    if (realpath(file.path, TargetPath) == nullptr || stat(TargetPath, &target) != 0) {
        SetIoError(errno);
        return;
    }
    // A file the caller may not write is refused as a direct create would refuse it,
    // rather than replaced behind its back through the folder's permissions.
    if (faccessat(AT_FDCWD, TargetPath, W_OK, AT_EACCESS) != 0) {
        SetIoError(errno);
        return;
    }
    size_t folderLength = static_cast<size_t>(strrchr(TargetPath, '/') - TargetPath) + 1;
    if (folderLength + sizeof TempName > sizeof TempPath) {
        SetIoError(ENAMETOOLONG);
        return;
    }
    sigset_t previous;
    BlockTerminationSignals(&previous);
    InstallCleanupHandlers();
    memcpy(TempPath, TargetPath, folderLength);
    memcpy(TempPath + folderLength, TempName, sizeof TempName);
    int handle = SysMakeTemp(TempPath);
    int error = errno;
    if (handle < 0) TempPath[0] = '\0';
    RestoreSignals(&previous);
    if (handle < 0) {
        SetIoError(error);
        return;
    }
    file.handle = handle;
    file.replacing = true;
    // Owner and group are kept where the system lets us; the permission bits always.
    // The owner goes first, since changing it clears the set-user-ID bits.
    if (fchown(handle, target.st_uid, target.st_gid) != 0) {
        int ignored = fchown(handle, static_cast<uid_t>(-1), target.st_gid);
        (void)ignored;
    }
    if (fchmod(handle, target.st_mode & 07777) != 0) SetIoError(errno);
}

int64_t FileSize(ByteFile& file) {
    struct stat status;
    if (SysFstat(file.handle, &status) != 0) {
        SetIoError(errno);
        return -1;
    }
    return S_ISREG(status.st_mode) ? static_cast<int64_t>(status.st_size) : 0;
}

int64_t ReadUpTo(ByteFile& file, void* block, size_t count) {
    auto* next = static_cast<char*>(block);
    size_t total = 0;
    while (total < count) {
        ssize_t got = SysRead(file.handle, next + total, count - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            SetIoError(errno);
            return -1;
        }
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(total);
}

void ReadBlock(ByteFile& file, void* block, size_t count) {
    int64_t got = ReadUpTo(file, block, count);
    if (got >= 0 && static_cast<size_t>(got) < count) SetIoError(ReadShortfall);
}

void WriteBlock(ByteFile& file, const void* block, size_t count) {
    auto* next = static_cast<const char*>(block);
    do {
        ssize_t written = SysWrite(file.handle, next, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            SetIoError(errno);
            return;
        }
        // A request that makes no progress would otherwise be repeated for ever.
        if (written == 0 && count > 0) {
            SetIoError(WriteShortfall);
            return;
        }
        next += written;
        count -= static_cast<size_t>(written);
    } while (count > 0);
}

void CloseFile(ByteFile& file) {
    int handle = file.handle;
    file.handle = -1;
    if (!file.replacing) {
        if (SysClose(handle) != 0) SetIoError(errno);
        return;
    }
    file.replacing = false;
    // The original is replaced only by content that is already safe on disk; on any
    // failure here the temporary file is left for EndRun to remove.
    if (SysFsync(handle) != 0) {
        SetIoError(errno);
        SysClose(handle);
        return;
    }
    if (SysClose(handle) != 0) {
        SetIoError(errno);
        return;
    }
    sigset_t previous;
    BlockTerminationSignals(&previous);
    if (SysRename(TempPath, TargetPath) == 0) TempPath[0] = '\0';
    else SetIoError(errno);
    RestoreSignals(&previous);
}
