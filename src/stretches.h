#pragma once
// The fast scan, written once for any width of vector block. Each file that includes
// this builds its own copy for the instruction set it is compiled for; everything here
// stays inside an unnamed namespace, so that no copy built for one instruction set can
// stand in for another's at link time.
//
// The input is converted in stretches of 64 bytes. One bitmask shows where a stretch's
// line ends are; the ordinary bytes between them are copied as whole blocks, with fixed
// counts of stores, since a loop the processor cannot predict costs more than the extra
// bytes. The stores run past the bytes they are meant for; what follows writes over
// those, and the room checks keep every store inside its buffer.

#include <cstddef>
#include <cstdint>

#include "converter.h"

namespace {

constexpr size_t StretchSize = 64;
// Input the last copy of a stretch may read: a whole stretch past its last line end.
constexpr size_t StretchReach = 2 * StretchSize;
// The most a stretch can produce (every byte a line end written as CR LF), plus the
// overrun of its last copy.
constexpr size_t StretchRoom = 3 * StretchSize;

// Block is a vector width with LineEndBits (bit i set when byte i is CR or LF) and
// Copy (one block from in to out).
template <class Block>
uint64_t LineEndMask(const unsigned char* in) {
    uint64_t mask = 0;
    for (size_t offset = 0; offset < StretchSize; offset += Block::Size)
        mask |= static_cast<uint64_t>(Block::LineEndBits(in + offset)) << offset;
    return mask;
}

template <class Block>
void CopyStretch(unsigned char* out, const unsigned char* in) {
    for (size_t offset = 0; offset < StretchSize; offset += Block::Size) Block::Copy(out + offset, in + offset);
}

// Converts the stretch at in, writing to out, which has StretchRoom bytes of room.
// Returns where its output ends, and sets taken to the input bytes it used: 65 when a
// CR LF pair straddles its end. The output position is kept in a local: stores of bytes
// may alias anything, so one kept in memory would be reloaded after each of them.
template <class Block>
unsigned char* ConvertStretch(const unsigned char* in, unsigned char* out, unsigned char eolFirst,
                              size_t eolLength, size_t& taken) {
    uint64_t lineEnds = LineEndMask<Block>(in);
    size_t from = 0;
    while (lineEnds != 0) {
        size_t at = static_cast<size_t>(__builtin_ctzll(lineEnds));
        CopyStretch<Block>(out, in + from);
        out += at - from;
        out[0] = eolFirst;
        out[1] = '\n';
        out += eolLength;
        size_t pair = (in[at] == '\r') & (in[at + 1] == '\n');
        from = at + 1 + pair;
        lineEnds &= lineEnds - 1;
        lineEnds &= lineEnds - pair;  // the pair's LF is the next bit
    }
    if (from < StretchSize) {
        CopyStretch<Block>(out, in + from);
        out += StretchSize - from;
        from = StretchSize;
    }
    taken = from;
    return out;
}

template <class Block>
void ScanStretches() {
    const unsigned char eolFirst = EolType == EolLf ? '\n' : '\r';
    const size_t eolLength = EolType == EolCrLf ? 2 : 1;
    size_t next = 0;
    while (InputSize - next >= StretchReach) {
        // Near the end of the buffer the stretch goes through a scratch area, so that the
        // block is written exactly when its next byte arrives.
        unsigned char scratch[StretchRoom];
        bool roomy = static_cast<size_t>(OutBufferSize - OutCount) >= StretchRoom;
        unsigned char* start = roomy ? OutBuffer + OutCount : scratch;
        size_t taken;
        unsigned char* stop = ConvertStretch<Block>(InputImage + next, start, eolFirst, eolLength, taken);
        next += taken;
        if (roomy) OutCount = static_cast<int32_t>(stop - OutBuffer);
        else PutBytes(scratch, static_cast<size_t>(stop - scratch));
    }
    ScanImagePlainFrom(next);
}

}  // namespace
