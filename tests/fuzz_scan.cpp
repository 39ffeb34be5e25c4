// libFuzzer target: the first byte picks the line end, the rest is the input. Every scan
// this processor can run must give the plain scan's bytes in the plain scan's write
// requests. The file layer's writes land in memory here.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter.h"
#include "platform/syscalls.h"

namespace {

std::string Written;
std::vector<size_t> Requests;

struct Output {
    std::string bytes;
    std::vector<size_t> requests;
    bool operator==(const Output&) const = default;
};

Output Run(void (*scan)()) {
    Written.clear();
    Requests.clear();
    OutCount = 0;
    scan();
    FlushOut();
    return {Written, Requests};
}

}  // namespace

ssize_t SysWrite(int, const void* block, size_t count) {
    Requests.push_back(count);
    Written.append(static_cast<const char*>(block), count);
    return static_cast<ssize_t>(count);
}

// Nothing else of the file layer is reached from the scan.
int SysOpen(const char*, int, mode_t) { abort(); }
int SysMakeTemp(char*) { abort(); }
int SysFstat(int, struct stat*) { abort(); }
ssize_t SysRead(int, void*, size_t) { abort(); }
int SysFsync(int) { abort(); }
int SysClose(int) { abort(); }
int SysRename(const char*, const char*) { abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    EolType = 1 + data[0] % 3;
    // Exactly the content and its two zero bytes, so that any read past them is caught.
    size_t length = size - 1;
    auto* image = new unsigned char[length + 2];
    std::copy(data + 1, data + size, image);
    image[length] = image[length + 1] = 0;
    InputImage = image;
    InputSize = length;

    Output plain = Run(ScanImagePlain);
    if (Run(ScanImage) != plain) abort();
#if defined(__x86_64__)
    if (Run(ScanImageSse2) != plain) abort();
    if (__builtin_cpu_supports("avx2") && Run(ScanImageAvx2) != plain) abort();
#endif
    delete[] image;
    return 0;
}
