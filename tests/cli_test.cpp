// End-to-end tests: the built program, run as a user or a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <random>
#include <thread>
#include <vector>

#include "helpers.h"

using namespace std::string_literals;

namespace {

const std::string Usage =
    "program to convert text files EOL, from any to CR, LF, or CRLF\r\n"
    "usage: mordrin <infile> <outfile> <cr|lf|crlf>\r\n";
const std::string BadKeyword = "invalid EOL type for output file\r\n";
const std::string OpenReadFailed = "error opening file for read\r\n";
const std::string OpenWriteFailed = "error opening file for write\r\n";
const std::string WriteFailed = "error writing output file\r\n";

struct RunOptions {
    bool closeStdout = false;
    bool stdoutReaderGone = false;
    bool asNobody = false;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    rlim_t addressSpaceLimit = RLIM_INFINITY;
    std::string program = MORDRIN_PATH;
    int stopSignal = 0;  // sent to the run after stopAfter
    std::chrono::microseconds stopAfter{0};
};

struct RunResult {
    int status = -1;  // the exit status, or 128 + the signal that ended the run
    std::string out, err;
};

[[noreturn]] void ChildFails(const char* what) {
    perror(what);
    _exit(126);
}

void DropToNobody() {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
        setuid(nobody->pw_uid) != 0) {
        ChildFails("dropping to nobody");
    }
}

void Limit(int resource, rlim_t value) {
    if (value == RLIM_INFINITY) return;
    rlimit limit{value, value};
    if (setrlimit(resource, &limit) != 0) ChildFails("setrlimit");
}

RunResult RunMordrin(const std::vector<std::string>& args, const RunOptions& options = {}) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
    if (options.stdoutReaderGone) close(out[0]);
    pid_t child = fork();
    if (child == 0) {
        if (options.closeStdout) close(STDOUT_FILENO);
        else dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[1]);
        close(err[0]);
        close(err[1]);
        if (!options.stdoutReaderGone) close(out[0]);
        if (options.asNobody) DropToNobody();
        Limit(RLIMIT_FSIZE, options.fileSizeLimit);
        Limit(RLIMIT_AS, options.addressSpaceLimit);
        std::vector<char*> argv = {const_cast<char*>(options.program.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(options.program.c_str(), argv.data());
        ChildFails("exec");
    }
    close(out[1]);
    close(err[1]);
    if (options.stopSignal != 0) {
        std::this_thread::sleep_for(options.stopAfter);
        kill(child, options.stopSignal);
    }
    RunResult result;
    if (!options.stdoutReaderGone) result.out = ReadToEnd(out[0]);
    result.err = ReadToEnd(err[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

const std::string Mixed = "one\r\ntwo\nthree\rfour";

}  // namespace

TEST(CommandLine, WithoutAKeywordPrintsTheUsageAndTouchesNothing) {
    TempDir dir;
    std::string in = dir / "missing", out = dir / "out";
    const std::vector<std::string> cases[] = {{}, {in}, {in, out}, {in, out, ""}, {"", "", ""}};
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        RunResult result = RunMordrin(args);
        EXPECT_EQ(result.out, Usage);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 2);
        EXPECT_FALSE(Exists(out));
    }
    // The usage names the tool, not whatever its file happens to be called.
    std::filesystem::copy_file(MORDRIN_PATH, dir / "renamed");
    RunOptions renamed;
    renamed.program = dir / "renamed";
    EXPECT_EQ(RunMordrin({}, renamed).out, Usage);
}

TEST(CommandLine, AnUnknownKeywordIsRefusedBeforeAnyFileIsOpened) {
    TempDir dir;
    std::string out = dir / "out";
    WriteFile(out, "keep me");
    for (const char* keyword : {"Cr", "Lf", "CrLf", "crlf ", " lf", "x", "crlf\n"}) {
        SCOPED_TRACE(keyword);
        RunResult result = RunMordrin({dir / "missing", out, keyword});
        EXPECT_EQ(result.out, BadKeyword);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(ReadFile(out), "keep me");
    }
}

TEST(CommandLine, EachKeywordConvertsAndExtraArgumentsAreIgnored) {
    TempDir dir;
    std::string in = dir / "in", out = dir / "out";
    WriteFile(in, Mixed);
    const std::pair<const char*, std::string> cases[] = {
        {"CR", "one\rtwo\rthree\rfour"},       {"cr", "one\rtwo\rthree\rfour"},
        {"LF", "one\ntwo\nthree\nfour"},       {"lf", "one\ntwo\nthree\nfour"},
        {"CRLF", "one\r\ntwo\r\nthree\r\nfour"}, {"crlf", "one\r\ntwo\r\nthree\r\nfour"},
    };
    for (const auto& [keyword, expected] : cases) {
        SCOPED_TRACE(keyword);
        RunResult result = RunMordrin({"", in, "", out, keyword, "fourth", "fifth"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(ReadFile(out), expected);
        EXPECT_EQ(ReadFile(in), Mixed);
    }
}

TEST(CommandLine, PathsAreTakenAsTheyComeWithBlanksAndQuotes) {
    TempDir dir;
    std::string in = dir / "my \"odd\" file.txt", out = dir / " out ";
    WriteFile(in, "a\nb\n");
    EXPECT_EQ(RunMordrin({in, out, "crlf"}).status, 0);
    EXPECT_EQ(ReadFile(out), "a\r\nb\r\n");
}

TEST(Loading, AnInputThatCannotBeOpenedLeavesTheOutputPathAlone) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    for (const std::string& in : {dir / "missing", dir / "folder", dir / "no/such/file"}) {
        SCOPED_TRACE(in);
        RunResult result = RunMordrin({in, dir / "out", "lf"});
        EXPECT_EQ(result.out, OpenReadFailed);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 1);
        EXPECT_FALSE(Exists(dir / "out"));
    }
}

TEST(Loading, InputsWithoutAKnownLengthAreReadToTheirEnd) {
    TempDir dir;
    // /proc files report length 0 but have content.
    EXPECT_EQ(RunMordrin({"/proc/self/cmdline", dir / "cmdline", "lf"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "cmdline"), MORDRIN_PATH + "\0/proc/self/cmdline\0"s + dir.path + "/cmdline\0lf\0"s);

    EXPECT_EQ(RunMordrin({"/dev/null", dir / "empty", "crlf"}).status, 0);
    EXPECT_TRUE(Exists(dir / "empty"));
    EXPECT_EQ(ReadFile(dir / "empty"), "");

    // More than a pipe holds at once, and more than the first guess of the load.
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string content;
    for (int line = 0; line < 20000; ++line) content += "line " + std::to_string(line) + "\r\n";
    pid_t writer = fork();
    if (writer == 0) {
        int handle = open(fifo.c_str(), O_WRONLY);
        bool ok = handle >= 0 && write(handle, content.data(), content.size()) ==
                                     static_cast<ssize_t>(content.size());
        _exit(ok ? 0 : 1);
    }
    RunResult result = RunMordrin({fifo, dir / "from-fifo", "lf"});
    int writerStatus = 0;
    waitpid(writer, &writerStatus, 0);
    EXPECT_EQ(writerStatus, 0);
    EXPECT_EQ(result.status, 0);
    std::string expected;
    for (int line = 0; line < 20000; ++line) expected += "line " + std::to_string(line) + "\n";
    EXPECT_EQ(ReadFile(dir / "from-fifo"), expected);
}

TEST(Loading, AnInputTooLargeForMemoryIsARunTimeErrorThatTouchesNoOutput) {
#if defined(MORDRIN_SANITIZED)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    TempDir dir;
    std::string in = dir / "huge";
    // Sparse: two gigabytes that take no room on disk.
    int handle = open(in.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(ftruncate(handle, 2LL << 30), 0);
    close(handle);
    RunOptions limited;
    limited.addressSpaceLimit = 1LL << 30;
    RunResult result = RunMordrin({in, dir / "out", "lf"}, limited);
    EXPECT_THAT(result.out, testing::MatchesRegex("Runtime error 203 at [0-9A-F]{8}\r\n"));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 203);
    EXPECT_FALSE(Exists(dir / "out"));
}

TEST(Output, AnEmptyInputGivesAnEmptyOutputAndALongerOldOutputIsCutToTheNewContent) {
    TempDir dir;
    WriteFile(dir / "empty", "");
    EXPECT_EQ(RunMordrin({dir / "empty", dir / "new", "crlf"}).status, 0);
    EXPECT_TRUE(Exists(dir / "new"));
    EXPECT_EQ(ReadFile(dir / "new"), "");

    WriteFile(dir / "in", "a\r\n");
    WriteFile(dir / "old", std::string(5000, 'z'));
    EXPECT_EQ(RunMordrin({dir / "in", dir / "old", "lf"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "old"), "a\n");
}

TEST(Output, AnOutputThatCannotBeCreatedIsReportedAndKeepsWhatIsThere) {
    TempDir dir;
    WriteFile(dir / "in", Mixed);
    std::filesystem::create_directory(dir / "folder");
    WriteFile(dir / "readonly", "old");
    chmod((dir / "readonly").c_str(), 0444);
    RunOptions nobody;
    nobody.asNobody = true;
    const std::pair<std::string, RunOptions> cases[] = {
        {dir / "folder", {}},
        {dir / "no/such/folder/out", {}},
        {dir / "readonly", nobody},
    };
    for (const auto& [out, options] : cases) {
        SCOPED_TRACE(out);
        RunResult result = RunMordrin({dir / "in", out, "lf"}, options);
        EXPECT_EQ(result.out, OpenWriteFailed);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
    EXPECT_FALSE(Exists(dir / "no"));
    EXPECT_EQ(ReadFile(dir / "readonly"), "old");
    EXPECT_EQ(ReadFile(dir / "in"), Mixed);
}

TEST(Output, AWriteTheSystemRefusesIsReported) {
    TempDir dir;
    WriteFile(dir / "in", std::string(5000, 'a') + "\n");
    RunResult full = RunMordrin({dir / "in", "/dev/full", "crlf"});
    EXPECT_EQ(full.out, WriteFailed);
    EXPECT_EQ(full.status, 1);

    RunOptions limited;
    limited.fileSizeLimit = 2048;
    RunResult capped = RunMordrin({dir / "in", dir / "out", "crlf"}, limited);
    EXPECT_EQ(capped.out, WriteFailed);
    EXPECT_EQ(capped.err, "");
    EXPECT_EQ(capped.status, 1);
}

TEST(InPlace, TheFileIsConvertedWhicheverPathLeadsToIt) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    std::string file = dir / "sub/file";
    symlink("sub/file", (dir / "link").c_str());
    const std::vector<std::string> cases[] = {
        {file, file},
        {file, dir / "sub/../sub/./file"},
        {dir / "link", dir / "link"},
        {file, dir / "link"},
    };
    for (const auto& paths : cases) {
        SCOPED_TRACE(testing::PrintToString(paths));
        WriteFile(file, Mixed);
        chmod(file.c_str(), 0640);
        RunResult result = RunMordrin({paths[0], paths[1], "crlf"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(ReadFile(file), "one\r\ntwo\r\nthree\r\nfour");
        struct stat status;
        ASSERT_EQ(stat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0640u);
        EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
        EXPECT_EQ(Listing(dir / "sub"), std::vector<std::string>{"file"});
    }
}

TEST(InPlace, AnotherHardLinkKeepsTheOldContent) {
    TempDir dir;
    WriteFile(dir / "file", Mixed);
    ASSERT_EQ(link((dir / "file").c_str(), (dir / "other").c_str()), 0);
    EXPECT_EQ(RunMordrin({dir / "other", dir / "file", "lf"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "file"), "one\ntwo\nthree\nfour");
    EXPECT_EQ(ReadFile(dir / "other"), Mixed);
}

TEST(InPlace, AFileTheUserMayNotReplaceStaysAsItWas) {
    TempDir dir;
    RunOptions nobody;
    nobody.asNobody = true;
    // A read-only file in a folder anyone may write.
    WriteFile(dir / "readonly", Mixed);
    chmod((dir / "readonly").c_str(), 0444);
    // A writable file in a folder where no temporary file can be made.
    std::filesystem::create_directory(dir / "locked");
    WriteFile(dir / "locked/writable", Mixed);
    chmod((dir / "locked/writable").c_str(), 0666);
    chmod((dir / "locked").c_str(), 0555);
    for (const std::string& file : {dir / "readonly", dir / "locked/writable"}) {
        SCOPED_TRACE(file);
        RunResult result = RunMordrin({file, file, "lf"}, nobody);
        EXPECT_EQ(result.out, OpenWriteFailed);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(ReadFile(file), Mixed);
    }
    EXPECT_EQ(Listing(dir.path), (std::vector<std::string>{"locked", "readonly"}));
}

TEST(InPlace, AFailedWriteLeavesTheOriginalAndNoTemporaryFile) {
    TempDir dir;
    std::string content = std::string(5000, 'a') + "\n";
    WriteFile(dir / "file", content);
    RunOptions limited;
    limited.fileSizeLimit = 2048;
    RunResult result = RunMordrin({dir / "file", dir / "file", "crlf"}, limited);
    EXPECT_EQ(result.out, WriteFailed);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(ReadFile(dir / "file"), content);
    EXPECT_EQ(Listing(dir.path), std::vector<std::string>{"file"});
}

TEST(InPlace, StoppedAtAnyMomentTheFileHoldsTheOldOrTheNewContent) {
    TempDir dir;
    std::string file = dir / "file";
    std::string original, converted;
    for (int line = 0; original.size() < (16 << 20); ++line) {
        original += "line " + std::to_string(line) + " of a large file\r\n";
        converted += "line " + std::to_string(line) + " of a large file\n";
    }
    // The stops are spread over the length of an undisturbed run, and a little past it.
    WriteFile(file, original);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunMordrin({file, file, "lf"}).status, 0);
    auto length = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::mt19937 random(1211);
    for (int signalNumber : {SIGINT, SIGTERM, SIGKILL}) {
        for (int attempt = 0; attempt < 6; ++attempt) {
            WriteFile(file, original);
            RunOptions stopped;
            stopped.stopSignal = signalNumber;
            stopped.stopAfter = std::chrono::microseconds(random() % (length.count() * 6 / 5 + 1));
            SCOPED_TRACE(testing::Message() << "signal " << signalNumber << " after " << stopped.stopAfter.count() << " us");
            RunResult result = RunMordrin({file, file, "lf"}, stopped);
            EXPECT_TRUE(result.status == 0 || result.status == 128 + signalNumber) << result.status;
            std::string now = ReadFile(file);
            EXPECT_TRUE(now == original || now == converted) << "the file holds " << now.size() << " bytes";
            // Only a killed run has no chance to remove its temporary file.
            if (signalNumber != SIGKILL) {
                EXPECT_EQ(Listing(dir.path), std::vector<std::string>{"file"});
            }
            for (const std::string& name : Listing(dir.path)) {
                if (name != "file") std::filesystem::remove(dir / name);
            }
        }
    }
}

TEST(StandardDescriptors, WithStandardOutputClosedAFailingRunWritesNothingAnywhere) {
    TempDir dir;
    RunOptions closed;
    closed.closeStdout = true;
    RunResult missing = RunMordrin({dir / "missing", dir / "out", "lf"}, closed);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "");
    EXPECT_FALSE(Exists(dir / "out"));
}

TEST(StandardDescriptors, AReaderThatHasGoneDoesNotChangeTheStatus) {
    RunOptions gone;
    gone.stdoutReaderGone = true;
    EXPECT_EQ(RunMordrin({}, gone).status, 2);
    TempDir dir;
    EXPECT_EQ(RunMordrin({dir / "missing", dir / "out", "lf"}, gone).status, 1);
}
