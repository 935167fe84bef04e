#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tunora::testing {

// A program the test started; stopped (SIGTERM, then SIGKILL) and reaped when
// this goes away unless it has already exited.
class ChildProcess {
  public:
    // Starts argv[0] (looked up in PATH) with the current environment plus extra.
    // With captureStdout, the child's stdout is readable through stdoutFd().
    ChildProcess(std::vector<std::string> argv,
                 const std::map<std::string, std::string>& extra = {}, bool captureStdout = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    int stdoutFd() const { return stdoutFd_; }
    // The next line of the captured stdout, without its newline; throws when the
    // child ends or says nothing in time.
    std::string readLine(std::chrono::milliseconds timeout);
    // Waits for the exit status; -1 when it did not exit in time (it is then killed).
    int wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool running();
    void stop();

  private:
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int exitStatus_ = -1;
};

// Runs a program to completion and returns its exit status (-1 on time-out).
int runProgram(std::vector<std::string> argv, const std::map<std::string, std::string>& extra = {},
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Polls condition until it holds or the deadline passes.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout, auto&& between) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        between();
    }
    return true;
}

} // namespace tunora::testing
