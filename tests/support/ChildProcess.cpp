#include "support/ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tunora::testing {

ChildProcess::ChildProcess(std::vector<std::string> argv,
                           const std::map<std::string, std::string>& extra, bool captureStdout) {
    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        environment[text.substr(0, equals)] =
            equals == std::string::npos ? "" : text.substr(equals + 1);
    }
    for (const auto& [key, value] : extra) {
        environment[key] = value;
    }
    std::vector<std::string> envStrings;
    for (const auto& [key, value] : environment) {
        envStrings.push_back(key + "=" + value);
    }
    std::vector<char*> envp, args;
    for (auto& text : envStrings) {
        envp.push_back(text.data());
    }
    envp.push_back(nullptr);
    for (auto& text : argv) {
        args.push_back(text.data());
    }
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (captureStdout && pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // Dies with the test, even when the test is killed before it can clean up.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        if (captureStdout) {
            dup2(pipeFds[1], STDOUT_FILENO);
        }
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (captureStdout) {
        close(pipeFds[1]);
        stdoutFd_ = pipeFds[0];
    }
    if (pid_ < 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

ChildProcess::~ChildProcess() {
    stop();
    if (stdoutFd_ >= 0) {
        close(stdoutFd_);
    }
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout) {
    std::string line;
    pollfd readable{stdoutFd_, POLLIN, 0};
    while (line.empty() || line.back() != '\n') {
        if (poll(&readable, 1, static_cast<int>(timeout.count())) <= 0) {
            throw std::runtime_error("no output in time");
        }
        char c;
        if (read(stdoutFd_, &c, 1) != 1) {
            throw std::runtime_error("process ended");
        }
        line += c;
    }
    line.pop_back();
    return line;
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (pid_ < 0) {
        return exitStatus_;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitStatus_;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            stop();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // polling the exit, not syncing
    }
}

bool ChildProcess::running() {
    if (pid_ < 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

void ChildProcess::stop() {
    if (pid_ < 0) {
        return;
    }
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200 && running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (pid_ >= 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

int runProgram(std::vector<std::string> argv, const std::map<std::string, std::string>& extra,
               std::chrono::milliseconds timeout) {
    ChildProcess child(std::move(argv), extra, /*captureStdout=*/true); // output unread
    return child.wait(timeout);
}

} // namespace tunora::testing
