// The least work a converter with mordrin's write pattern can do: load a file whole,
// the same way mordrin loads its input, and write it unchanged in 1024-byte requests.
// Given the expected output of a conversion, its time is the floor for that conversion.
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: write_floor <infile> <outfile>\n");
        return 2;
    }
    int in = open(argv[1], O_RDONLY);
    struct stat status;
    if (in < 0 || fstat(in, &status) != 0) return 1;
    size_t size = static_cast<size_t>(status.st_size);
    void* mapped = mmap(nullptr, size + 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return 1;
    madvise(mapped, size + 2, MADV_HUGEPAGE);
    char* image = static_cast<char*>(mapped);
    for (size_t got = 0; got < size;) {
        ssize_t part = read(in, image + got, size - got);
        if (part <= 0) return 1;
        got += static_cast<size_t>(part);
    }
    if (close(in) != 0) return 1;
    int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0) return 1;
    size_t offset = 0;
    do {
        size_t part = size - offset < 1024 ? size - offset : 1024;
        if (write(out, image + offset, part) != static_cast<ssize_t>(part)) return 1;
        offset += part;
    } while (offset < size);
    return close(out) == 0 ? 0 : 1;
}
