#include <algorithm>
#include <cstring>

#include "converter.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include "stretches.h"
#endif

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

void ScanImagePlainFrom(size_t start) {
    // A CR and the LF right after it are one line end; any other CR or LF is one by
    // itself. Zero bytes are ordinary content.
    for (size_t i = start; i < InputSize; ++i) {
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

void ScanImagePlain() { ScanImagePlainFrom(0); }

// Stores bytes as PutByte would, one buffer's worth at a time.
void PutBytes(const unsigned char* bytes, size_t count) {
    while (count > 0) {
        if (OutCount == OutBufferSize) FlushOut();
        size_t part = std::min(count, static_cast<size_t>(OutBufferSize - OutCount));
        memcpy(OutBuffer + OutCount, bytes, part);
        OutCount += static_cast<int32_t>(part);
        bytes += part;
        count -= part;
    }
}

#if defined(__x86_64__)

namespace {

// Every x86-64 processor has SSE2.
struct Sse2Block {
    static constexpr size_t Size = 16;
    static uint32_t LineEndBits(const unsigned char* in) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\r')),
                                    _mm_cmpeq_epi8(block, _mm_set1_epi8('\n')));
        return static_cast<uint16_t>(_mm_movemask_epi8(hits));
    }
    static void Copy(unsigned char* out, const unsigned char* in) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    }
};

}  // namespace

void ScanImageSse2() { ScanStretches<Sse2Block>(); }

void ScanImage() {
    if (__builtin_cpu_supports("avx2")) ScanImageAvx2();
    else ScanImageSse2();
}

#else

void ScanImage() { ScanImagePlain(); }

#endif

void ConvertImage() {
    OutCount = 0;
    ScanImage();
    FlushOut();
    CloseFile(WorkFile);
    EndOnIoError(WriteFailure);
}
