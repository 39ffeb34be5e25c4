#pragma once
// The converter's program-wide state and its procedures, in the order a run uses them:
// the command line and run sequence, the loading of the input and the creation of the
// output, and the translation through the output buffer.

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// The line end every line end of the input becomes.
constexpr int32_t EolCr = 1;
constexpr int32_t EolLf = 2;
constexpr int32_t EolCrLf = 3;
extern int32_t EolType;

// The whole input, followed by two zero bytes so that looking one byte past a final CR
// stays inside the block.
extern unsigned char* InputImage;
extern size_t InputSize;

constexpr int32_t OutBufferSize = 1024;
extern unsigned char OutBuffer[OutBufferSize];
extern int32_t OutCount;

// The input while it is loaded, then the output.
extern ByteFile WorkFile;

[[noreturn]] void RunConverter();
// The n-th non-empty argument after the program's name, or "" when there is none.
const char* ArgumentAt(int position);
void SelectEolType(const char* keyword);
// Ends the run with the message and exit status 1 when a file operation has failed.
void EndOnIoError(const char* message);

void LoadInput(const char* path);
void CreateOutput(const char* path);

void ConvertImage();
// Translates InputImage into OutBuffer, with the fastest scan this processor allows.
void ScanImage();
// The plain scan, one byte at a time: the reference that every fast scan must equal, in
// bytes and in write requests. The fast scans finish their last few bytes with it.
void ScanImagePlain();
void ScanImagePlainFrom(size_t start);
#if defined(__x86_64__)
void ScanImageSse2();
void ScanImageAvx2();
#endif
void PutByte(unsigned char byte);
void PutBytes(const unsigned char* bytes, size_t count);
void PutEol();
void FlushOut();
