#include "converter.h"

unsigned char* InputImage = nullptr;
size_t InputSize = 0;
ByteFile WorkFile;

static const char ReadFailure[] = "error reading input file";

// Who the input was, to recognise it again when the output names the same file.
static struct stat InputStatus;

// First guess for an input whose length is known only at its end; doubled as it fills.
constexpr size_t UnknownSizeStart = 64 * 1024;

static void LoadToEnd() {
    size_t capacity = UnknownSizeStart;
    InputImage = AllocateImage(capacity);
    for (;;) {
        int64_t got = ReadUpTo(WorkFile, InputImage + InputSize, capacity - InputSize);
        EndOnIoError(ReadFailure);
        InputSize += static_cast<size_t>(got);
        if (InputSize < capacity) return;
        InputImage = GrowImage(InputImage, capacity, 2 * capacity);
        capacity *= 2;
    }
}

void LoadInput(const char* path) {
    BindFile(WorkFile, path);
    OpenExisting(WorkFile);
    EndOnIoError("error opening file for read");
    InputStatus = WorkFile.status;
    int64_t size = FileSize(WorkFile);
    EndOnIoError(ReadFailure);
    // Pipes, devices and files such as those under /proc tell no length; they are read to
    // their end. A regular file is read for exactly the length it had when asked.
    if (size == 0) {
        LoadToEnd();
    } else {
        InputSize = static_cast<size_t>(size);
        InputImage = AllocateImage(InputSize);
        ReadBlock(WorkFile, InputImage, InputSize);
        EndOnIoError(ReadFailure);
    }
    CloseFile(WorkFile);
    EndOnIoError(ReadFailure);
}

void CreateOutput(const char* path) {
    BindFile(WorkFile, path);
    // Converting a file in place must never leave it half written: the new content goes
    // to a file beside it that takes its place only once complete.
    if (IsSameRegularFile(path, InputStatus)) CreateReplacement(WorkFile);
    else CreateFile(WorkFile);
    EndOnIoError("error opening file for write");
}
