#include <gtest/gtest.h>

#include <cerrno>

#include "child_run.h"
#include "helpers.h"
#include "scripted_syscalls.h"

TEST(StandardDescriptors, AMessageNeverLandsInADataFileWhenStandardOutputWasClosed) {
    TempDir dir;
    std::string content(5000, 'a');
    WriteFile(dir / "in", content);
    // Left closed, descriptor 1 would be the output file, and the report of its failed
    // write would be written into it.
    ResetScript(CallWrite, 2, ENOSPC);
    ChildRun run = RunInChild({dir / "in", dir / "out", "lf"}, true);
    ResetScript();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(dir / "out"), content.substr(0, 1024));
}
