#pragma once
// The thin layer between the converter and POSIX: start and end of the run, the
// arguments, message lines on standard output, the one large memory block, and files of
// raw bytes whose failures are kept as a pending error rather than stopping the run.

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

// Exit statuses of the runs the program ends itself.
constexpr int ExitSuccess = 0;
constexpr int ExitFileError = 1;
constexpr int ExitUsage = 2;
// The run-time error code for memory that cannot be had; it is also the exit status.
constexpr int RunTimeErrorOutOfMemory = 203;

// Makes the process safe to run (standard descriptors, signals) and keeps the arguments.
void StartRun(int argc, char** argv);
int RawArgumentCount();            // including the program's own name
const char* RawArgument(int index);

// One line on standard output, ended by CR LF whatever the files use. A line that
// cannot be written is dropped: there is nowhere better to report it.
void WriteMessageLine(const char* text);

// Removes an unfinished replacement file, then ends the process with the status.
[[noreturn]] void EndRun(int status);

// A block of size + 2 bytes, all zero. When memory is short the run ends with run-time
// error 203.
unsigned char* AllocateImage(size_t size);
// Enlarges a block from AllocateImage to newSize + 2 bytes; the new bytes are zero.
unsigned char* GrowImage(unsigned char* block, size_t oldSize, size_t newSize);

// A failing file operation stores a non-zero value here (the system's error number, or
// one of the two shortfall values below); a successful one leaves it alone.
extern int PendingIoError;
constexpr int ReadShortfall = 100;
constexpr int WriteShortfall = 101;
// Returns the pending error and resets it to 0.
int TakeIoError();

struct ByteFile {
    const char* path = nullptr;
    int handle = -1;       // -1 while closed
    bool replacing = false; // written to a temporary file that the close renames over path
    struct stat status {}; // what the last successful open found at path
};

void BindFile(ByteFile& file, const char* path);
// Opens an existing file for reading; a folder is refused.
void OpenExisting(ByteFile& file);
// Creates the file, or empties it if it exists, and opens it for writing.
void CreateFile(ByteFile& file);
// Opens a new temporary file beside the regular file that path leads to, with that file's
// permissions; the close puts it in the file's place. Until then the file is untouched,
// and if the run ends first the temporary file is removed.
void CreateReplacement(ByteFile& file);
// True when path leads to the same regular file as status describes.
bool IsSameRegularFile(const char* path, const struct stat& status);
// The length of a regular file; 0 for anything else, whose length is known only by
// reading it to its end. -1 when the query fails.
int64_t FileSize(ByteFile& file);
// Reads until count bytes have arrived or the file ends; returns how many arrived, or -1
// when a read fails.
int64_t ReadUpTo(ByteFile& file, void* block, size_t count);
// Reads exactly count bytes; fewer is a failure.
void ReadBlock(ByteFile& file, void* block, size_t count);
// One write request for count bytes, continued with the rest when the system takes only
// part of it. Also makes the request when count is 0.
void WriteBlock(ByteFile& file, const void* block, size_t count);
// Closes the file; a replacement is flushed to disk and renamed into place first.
void CloseFile(ByteFile& file);
