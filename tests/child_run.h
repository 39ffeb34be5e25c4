#pragma once
#include <string>
#include <vector>

struct ChildRun {
    int status = -1;  // the exit status, or 128 + the signal that ended the run
    std::string out;
};

// Runs the whole converter, from its start-up on, in a forked child of the test with
// the given arguments after the program's name. Whatever the script of system calls says
// holds in the child, and what it records comes back.
ChildRun RunInChild(const std::vector<std::string>& args, bool closeStdout = false);
