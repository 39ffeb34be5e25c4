#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

// Defined by the linker at the start of the program's image; places in the code are
// reported relative to it, so that they fit eight hex digits and do not change from run
// to run.
extern "C" char __executable_start[];

void DiscardReplacement();  // in bytefile.cpp

static int ArgumentTotal = 0;
static char** ArgumentList = nullptr;

void StartRun(int argc, char** argv) {
    // A closed standard descriptor would be handed out again by the next open, so a data
    // file could land on descriptor 1 and a message inside that file. Fill the gap first.
    for (int standard = 0; standard <= 2; ++standard) {
        if (fcntl(standard, F_GETFD) == -1 && errno == EBADF &&
            open("/dev/null", O_RDWR) != standard) {
            _exit(ExitFileError);
        }
    }
    // A reader that has gone away must not kill the run: the message is just dropped.
    // A file-size limit must show as a failed write, which is reported, not as a signal.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    ArgumentTotal = argc;
    ArgumentList = argv;
}

int RawArgumentCount() { return ArgumentTotal; }

const char* RawArgument(int index) { return ArgumentList[index]; }

void WriteMessageLine(const char* text) {
    char lineEnd[] = "\r\n";
    iovec parts[2] = {{const_cast<char*>(text), strlen(text)}, {lineEnd, 2}};
    // Text and line end go out in one request so that lines from several runs sharing a
    // console do not interleave. A failure is dropped on purpose.
    ssize_t written = writev(STDOUT_FILENO, parts, 2);
    (void)written;
}

void EndRun(int status) {
    DiscardReplacement();
    exit(status);
}

[[noreturn]] static void RunTimeError(int code, const void* place) {
    char report[64];
    auto offset = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(place) -
                                        reinterpret_cast<uintptr_t>(__executable_start));
    snprintf(report, sizeof report, "Runtime error%4d at %08X", code, offset);
    WriteMessageLine(report);
    EndRun(code);
}

// Mapped rather than taken from the heap: the pages come zeroed already, and a large
// block can use huge pages, which makes faulting it in far cheaper than 4 KiB at a time.
static unsigned char* MapZeroed(void* old, size_t oldLength, size_t length, const void* caller) {
    void* block = old == nullptr
        ? mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
        : mremap(old, oldLength, length, MREMAP_MAYMOVE);
    if (block == MAP_FAILED) RunTimeError(RunTimeErrorOutOfMemory, caller);
    madvise(block, length, MADV_HUGEPAGE);
    return static_cast<unsigned char*>(block);
}

__attribute__((noinline)) unsigned char* AllocateImage(size_t size) {
    return MapZeroed(nullptr, 0, size + 2, __builtin_return_address(0));
}

__attribute__((noinline)) unsigned char* GrowImage(unsigned char* block, size_t oldSize,
                                                   size_t newSize) {
    return MapZeroed(block, oldSize + 2, newSize + 2, __builtin_return_address(0));
}
