#include "child_run.h"

#include <cstdio>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "converter.h"
#include "helpers.h"

ChildRun RunInChild(const std::vector<std::string>& args, bool closeStdout) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    // Text the test has buffered must not reach the child's standard output.
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (closeStdout) close(STDOUT_FILENO);
        else dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<std::string> storage = {"mordrin"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : storage) argv.push_back(arg.data());
        argv.push_back(nullptr);
        StartRun(static_cast<int>(storage.size()), argv.data());
        RunConverter();
    }
    close(out[1]);
    ChildRun result;
    result.out = ReadToEnd(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
