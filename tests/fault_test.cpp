// Every file operation made to fail in turn: the run must say so, end with status 1, and
// leave the disk as the user can rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "child_run.h"
#include "helpers.h"
#include "scripted_syscalls.h"

namespace {

const std::string OpenReadFailed = "error opening file for read\r\n";
const std::string ReadFailed = "error reading input file\r\n";
const std::string OpenWriteFailed = "error opening file for write\r\n";
const std::string WriteFailed = "error writing output file\r\n";

struct FaultCase {
    const char* what;
    bool inPlace;
    SyscallKind kind;
    int call;
    int error;
    std::string message;  // empty: the run succeeds
};

// The write requests of an output of the given length: full buffers, then the rest.
std::vector<size_t> DesignedWrites(size_t length) {
    std::vector<size_t> sizes(length / 1024, 1024);
    if (length % 1024 != 0 || length == 0) sizes.push_back(length % 1024);
    return sizes;
}

}  // namespace

TEST(Faults, EachFailingFileOperationIsReportedAndLosesNothing) {
    // Direct output: open 1 and close 1 are the input's, open 2 and close 2 the output's;
    // fstat 1 belongs to the input open, fstat 2 is the size query. In place, the output
    // is the temporary file from make-temp 1.
    const FaultCase cases[] = {
        {"input open", false, CallOpen, 1, EACCES, OpenReadFailed},
        {"input open, in place", true, CallOpen, 1, EACCES, OpenReadFailed},
        {"check of what was opened", false, CallFstat, 1, EIO, OpenReadFailed},
        {"size query", false, CallFstat, 2, EIO, ReadFailed},
        {"size query, in place", true, CallFstat, 2, EOVERFLOW, ReadFailed},
        {"read refused", false, CallRead, 1, EIO, ReadFailed},
        {"read refused, in place", true, CallRead, 1, EIO, ReadFailed},
        {"input ends before its size", true, CallRead, 1, EarlyEnd, ReadFailed},
        {"read delivers part, rest follows", true, CallRead, 1, Partly, ""},
        {"input close", false, CallClose, 1, EIO, ReadFailed},
        {"input close, in place", true, CallClose, 1, EIO, ReadFailed},
        {"output create", false, CallOpen, 2, EACCES, OpenWriteFailed},
        {"temporary file create", true, CallMakeTemp, 1, ENOSPC, OpenWriteFailed},
        {"first write, disk full", false, CallWrite, 1, ENOSPC, WriteFailed},
        {"third write, file too large", false, CallWrite, 3, EFBIG, WriteFailed},
        {"last write, I/O error", false, CallWrite, 5, EIO, WriteFailed},
        {"first write, disk full, in place", true, CallWrite, 1, ENOSPC, WriteFailed},
        {"third write, file too large, in place", true, CallWrite, 3, EFBIG, WriteFailed},
        {"last write, I/O error, in place", true, CallWrite, 5, EIO, WriteFailed},
        {"write taken in part, rest follows", true, CallWrite, 2, Partly, ""},
        {"output close", false, CallClose, 2, EIO, WriteFailed},
        {"flush to disk, in place", true, CallFsync, 1, EIO, WriteFailed},
        {"temporary file close, in place", true, CallClose, 2, EIO, WriteFailed},
        {"rename, in place", true, CallRename, 1, EXDEV, WriteFailed},
    };
    std::string original;
    for (int line = 0; line < 240; ++line) original += "line " + std::to_string(line) + " of the file\r\n";
    std::string converted;
    for (int line = 0; line < 240; ++line) converted += "line " + std::to_string(line) + " of the file\n";
    const std::vector<size_t> designed = DesignedWrites(converted.size());
    ASSERT_EQ(designed.size(), 5u);

    for (const FaultCase& row : cases) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        std::string in = dir / "in", out = row.inPlace ? in : dir / "out";
        WriteFile(in, original);
        ResetScript(row.kind, row.call, row.error);
        ChildRun run = RunInChild({in, out, "lf"});
        const SyscallScript& script = Script();
        std::vector<size_t> writes(script.writeSizes, script.writeSizes + script.writeCount);
        ASSERT_GE(script.calls[row.kind], row.call) << "the scripted call was never made";

        if (row.message.empty()) {
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(ReadFile(out), converted);
        } else {
            EXPECT_EQ(run.out, row.message);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(ReadFile(in), original);
            // Nothing is written once a request has failed, and every request made had
            // its designed size.
            std::vector<size_t> expectedWrites;
            if (row.kind == CallWrite) expectedWrites.assign(designed.begin(), designed.begin() + row.call);
            else if (row.message == WriteFailed) expectedWrites = designed;
            EXPECT_EQ(writes, expectedWrites);
            // A failed load leaves the output path untouched.
            if (!row.inPlace && row.message != WriteFailed) {
                EXPECT_FALSE(Exists(out));
            }
        }
        if (row.inPlace) {
            EXPECT_EQ(Listing(dir.path), std::vector<std::string>{"in"});
        }
    }
    ResetScript();
}

TEST(Faults, AStopRequestDuringAnInPlaceConversionLeavesOldOrNewContentAndNoTemporaryFile) {
    struct StopCase {
        SyscallKind kind;
        int call;
        bool replaced;  // the request came too late to keep the original
    };
    // Write 1 is the first block; the rename runs with these signals held back, so a
    // request that arrives during it takes effect only once the new content is in place.
    const StopCase moments[] = {{CallWrite, 1, false}, {CallWrite, 3, false}, {CallFsync, 1, false},
                                {CallRename, 1, true}};
    std::string original, converted;
    for (int line = 0; line < 500; ++line) {
        original += "line " + std::to_string(line) + "\n";
        converted += "line " + std::to_string(line) + "\r\n";
    }
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        for (const StopCase& moment : moments) {
            SCOPED_TRACE(testing::Message() << "signal " << signalNumber << " at call "
                                            << moment.call << " of kind " << moment.kind);
            TempDir dir;
            std::string file = dir / "file";
            WriteFile(file, original);
            ResetScript(moment.kind, moment.call, 0, signalNumber);
            ChildRun run = RunInChild({file, file, "crlf"});
            EXPECT_EQ(run.status, 128 + signalNumber);
            EXPECT_EQ(ReadFile(file), moment.replaced ? converted : original);
            EXPECT_EQ(Listing(dir.path), std::vector<std::string>{"file"});
        }
    }
    ResetScript();
}
