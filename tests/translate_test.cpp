#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "converter.h"
#include "helpers.h"
#include "scripted_syscalls.h"

using namespace std::string_literals;

namespace {

struct Converted {
    std::string bytes;
    std::vector<size_t> writes;
};

// Runs the translation on input as the program does after loading it, into a new file;
// with the given scan in place of the one the program would choose.
Converted Convert(const std::string& input, int32_t eolType, void (*scan)() = nullptr) {
    static TempDir dir;
    std::string path = dir / "out";
    std::vector<unsigned char> image(input.begin(), input.end());
    image.resize(input.size() + 2, 0);
    InputImage = image.data();
    InputSize = input.size();
    EolType = eolType;
    BindFile(WorkFile, path.c_str());
    CreateFile(WorkFile);
    EXPECT_EQ(TakeIoError(), 0);
    ForgetCalls();
    if (scan == nullptr) {
        ConvertImage();
    } else {
        OutCount = 0;
        scan();
        FlushOut();
        CloseFile(WorkFile);
    }
    const SyscallScript& script = Script();
    return {ReadFile(path), {script.writeSizes, script.writeSizes + script.writeCount}};
}

std::string Repeat(const std::string& piece, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += piece;
    return result;
}

struct ConversionCase {
    std::string input, asCr, asLf, asCrLf;
};

}  // namespace

TEST(Translation, EveryLineEndBecomesTheSelectedOneAndEveryOtherByteIsKept) {
    const ConversionCase cases[] = {
        {"a\r\nb", "a\rb", "a\nb", "a\r\nb"},
        {"a\nb", "a\rb", "a\nb", "a\r\nb"},
        {"a\rb", "a\rb", "a\nb", "a\r\nb"},
        {"a\n\rb", "a\r\rb", "a\n\nb", "a\r\n\r\nb"},
        {"a\r\r\nb", "a\r\rb", "a\n\nb", "a\r\n\r\nb"},
        {"\r\n\r\n", "\r\r", "\n\n", "\r\n\r\n"},
        {"\r\n\n", "\r\r", "\n\n", "\r\n\r\n"},
        {"\r\r\n\n", "\r\r\r", "\n\n\n", "\r\n\r\n\r\n"},
        {"a\rb\nc\r\nd", "a\rb\rc\rd", "a\nb\nc\nd", "a\r\nb\r\nc\r\nd"},
        {"\r", "\r", "\n", "\r\n"},
        {"\n", "\r", "\n", "\r\n"},
        {"a\r", "a\r", "a\n", "a\r\n"},
        {"a\n", "a\r", "a\n", "a\r\n"},
        {"a\r\n", "a\r", "a\n", "a\r\n"},
        {"ab", "ab", "ab", "ab"},
        {"", "", "", ""},
        {"a\x1a" "b", "a\x1a" "b", "a\x1a" "b", "a\x1a" "b"},
        {"\x80\xff\x8d\x8a", "\x80\xff\x8d\x8a", "\x80\xff\x8d\x8a", "\x80\xff\x8d\x8a"},
        {"a\tb\fc", "a\tb\fc", "a\tb\fc", "a\tb\fc"},
        // A zero byte is content like any other: nothing after it may be lost.
        {"a\0b\r"s, "a\0b\r"s, "a\0b\n"s, "a\0b\r\n"s},
        {"a\r\0b\n"s, "a\r\0b\r"s, "a\n\0b\n"s, "a\r\n\0b\r\n"s},
        {"\0a\r\n"s, "\0a\r"s, "\0a\n"s, "\0a\r\n"s},
        {"a\0\r\0\n\0"s, "a\0\r\0\r\0"s, "a\0\n\0\n\0"s, "a\0\r\n\0\r\n\0"s},
        {"\0"s, "\0"s, "\0"s, "\0"s},
    };
    for (const ConversionCase& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.input));
        EXPECT_EQ(Convert(row.input, EolCr).bytes, row.asCr);
        EXPECT_EQ(Convert(row.input, EolLf).bytes, row.asLf);
        EXPECT_EQ(Convert(row.input, EolCrLf).bytes, row.asCrLf);
    }
}

TEST(Translation, OutputReachesTheFileInFullBuffersAndOneLastRequest) {
    struct WriteCase {
        const char* what;
        std::string input;
        int32_t eolType;
        std::string output;
        std::vector<size_t> writes;
    };
    const std::string a1023(1023, 'a');
    const WriteCase cases[] = {
        {"empty input", "", EolLf, "", {0}},
        {"1023 bytes", a1023, EolLf, a1023, {1023}},
        {"1024 bytes", a1023 + "a", EolLf, a1023 + "a", {1024}},
        {"1025 bytes", a1023 + "ab", EolLf, a1023 + "ab", {1024, 1}},
        {"2048 bytes", std::string(2048, 'a'), EolLf, std::string(2048, 'a'), {1024, 1024}},
        {"2049 bytes", std::string(2049, 'a'), EolLf, std::string(2049, 'a'), {1024, 1024, 1}},
        {"CR LF split over two blocks", a1023 + "\nb", EolCrLf, a1023 + "\r\nb", {1024, 2}},
        {"CR LF pair across input byte 1024", a1023 + "\r\nb", EolLf, a1023 + "\nb", {1024, 1}},
        {"1500 LF to CR LF", std::string(1500, '\n'), EolCrLf, Repeat("\r\n", 1500), {1024, 1024, 952}},
        {"1500 CR LF to CR", Repeat("\r\n", 1500), EolCr, std::string(1500, '\r'), {1024, 476}},
    };
    for (const WriteCase& row : cases) {
        SCOPED_TRACE(row.what);
        Converted result = Convert(row.input, row.eolType);
        EXPECT_EQ(result.bytes, row.output);
        EXPECT_EQ(result.writes, row.writes);
    }
}

TEST(Translation, AWriteTakenOnlyInPartIsContinuedWithTheRest) {
    std::string input(3000, 'x');
    ResetScript(CallWrite, 2, Partly);
    Converted result = Convert(input, EolLf);
    ResetScript();
    EXPECT_EQ(result.bytes, input);
    EXPECT_EQ(result.writes, (std::vector<size_t>{1024, 1024, 512, 952}));
    EXPECT_EQ(PendingIoError, 0);
}

TEST(FastScan, GivesThePlainScansBytesAndWriteRequests) {
    std::vector<std::pair<const char*, void (*)()>> scans = {{"chosen", ScanImage}};
#if defined(__x86_64__)
    scans.push_back({"SSE2", ScanImageSse2});
    if (__builtin_cpu_supports("avx2")) scans.push_back({"AVX2", ScanImageAvx2});
#endif
    std::vector<std::string> inputs;
    std::mt19937 random(20261211);
    // Mostly line ends, so that pairs, lone CRs and lone LFs fall everywhere.
    const std::string alphabet = "\r\n\r\n\rab\0"s;
    auto randomText = [&](size_t length) {
        std::string text(length, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        return text;
    };
    for (size_t length = 0; length <= 300; ++length) inputs.push_back(randomText(length));
    for (size_t length = 1800; length <= 2300; length += 7) inputs.push_back(randomText(length));
    inputs.push_back(randomText(70000));
    // A CR LF pair at every offset across the first stretches, so also across their ends.
    for (size_t offset = 0; offset <= 200; ++offset)
        inputs.push_back(std::string(offset, 'x') + "\r\n" + randomText(300));
    // The output's 1024-byte boundary at every place within a line end and a run.
    for (size_t offset = 800; offset <= 1100; ++offset)
        inputs.push_back(std::string(offset, 'y') + "\n\r\n" + std::string(150, 'z') + randomText(400));

    for (const auto& [name, scan] : scans) {
        for (int32_t eolType : {EolCr, EolLf, EolCrLf}) {
            for (const std::string& input : inputs) {
                Converted plain = Convert(input, eolType, ScanImagePlain);
                Converted fast = Convert(input, eolType, scan);
                ASSERT_EQ(fast.bytes, plain.bytes) << name << " scan, line end " << eolType << ", input "
                                                   << testing::PrintToString(input);
                ASSERT_EQ(fast.writes, plain.writes) << name << " scan, line end " << eolType;
            }
        }
    }
}
