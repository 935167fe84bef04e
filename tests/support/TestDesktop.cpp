#include "support/TestDesktop.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

namespace tunora::testing {
namespace {

constexpr std::size_t windowSamples = 4410 * 2; // 100 ms of stereo at 44.1 kHz

std::string desktopAddress(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        throw std::runtime_error(std::string(name) + " is not set: run the test through "
                                                     "tests/support/desktop.py");
    }
    return value;
}

int requestsIn(const char* countsVariable, const std::string& path) {
    std::ifstream file(desktopAddress(countsVariable));
    const auto counts = nlohmann::json::parse(file, nullptr, false);
    return counts.is_object() && counts.contains(path) ? counts[path].get<int>() : 0;
}

} // namespace

std::string streamUrl(const std::string& path) {
    return desktopAddress("TUNORA_TEST_STREAM_ORIGIN") + path;
}
std::string tlsStreamUrl(const std::string& path) {
    return desktopAddress("TUNORA_TEST_TLS_ORIGIN") + path;
}
std::string testCaFile() {
    return desktopAddress("TUNORA_TEST_CA_FILE");
}
int streamRequests(const std::string& path) {
    return requestsIn("TUNORA_TEST_COUNTS", path);
}
int tlsStreamRequests(const std::string& path) {
    return requestsIn("TUNORA_TEST_TLS_COUNTS", path);
}

void spinMainLoop() {
    g_main_context_iteration(nullptr, FALSE);
    std::this_thread::sleep_for(2ms);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               const std::function<void()>& between) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        between();
    }
    return true;
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = std::filesystem::temp_directory_path() / "tunora-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

RunningProgram::RunningProgram(const std::vector<std::string>& argv) {
    std::vector<const char*> arguments;
    for (const auto& argument : argv) {
        arguments.push_back(argument.c_str());
    }
    arguments.push_back(nullptr);
    GError* error = nullptr;
    process_.reset(g_subprocess_newv(arguments.data(), G_SUBPROCESS_FLAGS_STDOUT_PIPE, &error));
    if (!process_) {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("cannot start " + argv.front() + ": " + message);
    }
}

RunningProgram::~RunningProgram() {
    g_subprocess_force_exit(process_.get());
    g_subprocess_wait(process_.get(), nullptr, nullptr);
}

std::string RunningProgram::readAvailable() {
    auto* out = G_POLLABLE_INPUT_STREAM(g_subprocess_get_stdout_pipe(process_.get()));
    std::string text;
    char buffer[65536];
    gssize count;
    while ((count = g_pollable_input_stream_read_nonblocking(out, buffer, sizeof buffer, nullptr,
                                                             nullptr)) > 0) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

SoundRecorder::SoundRecorder()
    : parec_({"parec", "--latency-msec=20", "-d", "test_sink.monitor", "--format=s16le",
              "--rate=44100", "--channels=2", "--raw"}) {}

void SoundRecorder::pump() {
    partial_ += parec_.readAvailable();
    const std::size_t whole = partial_.size() / 2 * 2;
    for (std::size_t i = 0; i < whole; i += 2) {
        recent_.push_back(static_cast<short>(static_cast<unsigned char>(partial_[i]) |
                                             (static_cast<unsigned char>(partial_[i + 1]) << 8)));
    }
    partial_.erase(0, whole);
    if (recent_.size() > windowSamples) {
        recent_.erase(recent_.begin(), recent_.end() - windowSamples);
    }
}

double SoundRecorder::recentLevel() const {
    if (recent_.size() < windowSamples) {
        return 0.0;
    }
    double sum = 0;
    for (short sample : recent_) {
        sum += double(sample) * sample;
    }
    return std::sqrt(sum / recent_.size()) / 32768.0;
}

double SoundRecorder::recentFrequency() const {
    int crossings = 0;
    for (std::size_t i = 2; i < recent_.size(); i += 2) {
        if ((recent_[i - 2] < 0) != (recent_[i] < 0)) {
            ++crossings;
        }
    }
    const double seconds = recent_.size() / 2 / 44100.0;
    return seconds > 0 ? crossings / 2.0 / seconds : 0.0;
}

} // namespace tunora::testing
