#include "converter.h"

unsigned char OutBuffer[OutBufferSize];
int32_t OutCount = 0;

static const char WriteFailure[] = "error writing output file";

void FlushOut() {
    WriteBlock(WorkFile, OutBuffer, static_cast<size_t>(OutCount));
    OutCount = 0;
    EndOnIoError(WriteFailure);
}

void PutByte(unsigned char byte) {
    // The block goes out when a byte arrives for a full buffer, not when it fills, so
    // that every write but the last is exactly one full buffer.
    if (OutCount == OutBufferSize) FlushOut();
    OutBuffer[OutCount++] = byte;
}

void PutEol() {
    if (EolType == EolCr) PutByte('\r');
    else if (EolType == EolLf) PutByte('\n');
    else if (EolType == EolCrLf) {
        PutByte('\r');
        PutByte('\n');
    }
}

void ScanImage() {
    // A CR and the LF right after it are one line end; any other CR or LF is one by
    // itself. Zero bytes are ordinary content.
    for (size_t i = 0; i < InputSize; ++i) {
        unsigned char c = InputImage[i];
        if (c == '\r') {
            PutEol();
            if (InputImage[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            PutEol();
        } else {
            PutByte(c);
        }
    }
}

void ConvertImage() {
    OutCount = 0;
    ScanImage();
    FlushOut();
    CloseFile(WorkFile);
    EndOnIoError(WriteFailure);
}
