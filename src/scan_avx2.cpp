// The fast scan with 32-byte blocks. This file alone is compiled for AVX2, and runs only
// where the processor has it; nothing defined here may be shared with other files, or
// the linker could hand them this copy.
#include <immintrin.h>

#include "stretches.h"

namespace {

struct Avx2Block {
    static constexpr size_t Size = 32;
    static uint32_t LineEndBits(const unsigned char* in) {
        __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        __m256i hits = _mm256_or_si256(_mm256_cmpeq_epi8(block, _mm256_set1_epi8('\r')),
                                       _mm256_cmpeq_epi8(block, _mm256_set1_epi8('\n')));
        return static_cast<uint32_t>(_mm256_movemask_epi8(hits));
    }
    static void Copy(unsigned char* out, const unsigned char* in) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)));
    }
};

}  // namespace

void ScanImageAvx2() { ScanStretches<Avx2Block>(); }
