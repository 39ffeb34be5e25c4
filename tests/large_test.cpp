// An input of more than 4 GiB through the built program, converted to an output of more
// than 4 GiB: no size, position or count may wrap at 32 bits. It needs about 9 GiB of
// disk and 5 GiB of memory, so CTest runs it
// only when asked for: ctest --test-dir build -C Large -L large
#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "helpers.h"

namespace {

constexpr size_t BlockSize = 1 << 20;

// One mebibyte of text with every kind of line end, which begins with an LF and ends with
// a CR: repeated, it puts a CR LF pair across every mebibyte boundary, 2^31 and 2^32
// among them.
std::string PatternBlock() {
    std::mt19937 random(42);
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::string block = "\n";
    while (block.size() < BlockSize - 1) {
        block += "line " + std::to_string(random()) + ends[random() % 3];
    }
    block.resize(BlockSize - 1, 'x');
    block += '\r';
    return block;
}

// A converter to CR LF written the simplest way, fed piece by piece.
struct ToCrLf {
    bool afterCr = false;
    std::string Feed(const std::string& piece) {
        std::string out;
        for (char c : piece) {
            bool pairsWithCr = afterCr && c == '\n';
            afterCr = c == '\r';
            if (pairsWithCr) continue;
            if (c == '\r' || c == '\n') out += "\r\n";
            else out += c;
        }
        return out;
    }
};

bool WriteAll(int handle, const std::string& bytes) {
    return write(handle, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

}  // namespace

TEST(LargeInput, MoreThanFourGibibytesConvertWhole) {
    TempDir dir;
    std::string in = dir / "in", out = dir / "out";
    const std::string block = PatternBlock();
    const std::string tail = "\nthe end, past 4 GiB\r";
    const uint64_t blocks = (4ULL << 30) / BlockSize + 3;

    int handle = open(in.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(handle, 0);
    for (uint64_t i = 0; i < blocks; ++i) ASSERT_TRUE(WriteAll(handle, block));
    ASSERT_TRUE(WriteAll(handle, tail));
    ASSERT_EQ(close(handle), 0);

    pid_t child = fork();
    if (child == 0) {
        execl(MORDRIN_PATH, MORDRIN_PATH, in.c_str(), out.c_str(), "crlf", static_cast<char*>(nullptr));
        _exit(126);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    unlink(in.c_str());

    // Compare the output piece by piece with what the simple converter makes.
    ToCrLf reference;
    int result = open(out.c_str(), O_RDONLY);
    ASSERT_GE(result, 0);
    uint64_t position = 0;
    auto expectNext = [&](const std::string& expected) {
        std::string actual(expected.size(), '\0');
        ASSERT_EQ(pread(result, actual.data(), actual.size(), static_cast<off_t>(position)),
                  static_cast<ssize_t>(actual.size()))
            << "output ends early, at " << position;
        ASSERT_TRUE(actual == expected) << "output differs in the piece at " << position;
        position += expected.size();
    };
    for (uint64_t i = 0; i < blocks; ++i) {
        expectNext(reference.Feed(block));
        if (testing::Test::HasFatalFailure()) break;
    }
    expectNext(reference.Feed(tail));
    char extra;
    EXPECT_EQ(pread(result, &extra, 1, static_cast<off_t>(position)), 0) << "output is longer than expected";
    close(result);
    EXPECT_GT(position, 4ULL << 30);
}
