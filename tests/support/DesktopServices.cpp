#include "support/DesktopServices.h"

#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#ifndef TUNORA_TEST_SUPPORT_DIR
#error "TUNORA_TEST_SUPPORT_DIR must point at tests/support"
#endif

namespace tunora::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t windowSamples = 4410 * 2; // 100 ms of stereo at 44.1 kHz

void pollUntil(const std::function<bool()>& ready, std::chrono::milliseconds timeout,
               const char* what) {
    if (!waitUntil(ready, timeout, [] { std::this_thread::sleep_for(20ms); })) {
        throw std::runtime_error(std::string(what) + " did not start");
    }
}

} // namespace

PrivateRuntimeDir::PrivateRuntimeDir() {
    std::filesystem::permissions(directory_.path(), std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", directory_.path().c_str(), 1);
}

PulseAudioServer::PulseAudioServer(const std::filesystem::path& runtimeDir) {
    const std::map<std::string, std::string> env = {{"XDG_RUNTIME_DIR", runtimeDir.string()}};
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{
            "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--log-target=stderr",
            "--log-level=0", "-L", "module-native-protocol-unix auth-anonymous=1", "-L",
            "module-null-sink sink_name=test_sink rate=44100", "-L", "module-always-sink"},
        env);
    pollUntil([&] { return runProgram({"pactl", "info"}, env, 2s) == 0; }, 10s, "pulseaudio");
}

SoundRecorder::SoundRecorder() {
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"parec", "--latency-msec=20", "-d", "test_sink.monitor",
                                 "--format=s16le", "--rate=44100", "--channels=2", "--raw"},
        std::map<std::string, std::string>{}, /*captureStdout=*/true);
    fcntl(process_->stdoutFd(), F_SETFL, O_NONBLOCK);
}

void SoundRecorder::pump() {
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(process_->stdoutFd(), buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        partial_.append(buffer, static_cast<std::size_t>(count));
    }
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

std::filesystem::path StreamServer::makeTone(const std::filesystem::path& directory) {
    const auto tone = directory / "tone.mp3";
    if (runProgram({"gst-launch-1.0", "-q", "audiotestsrc", "freq=440", "volume=0.5",
                    "num-buffers=430", "samplesperbuffer=1024", "!",
                    "audio/x-raw,rate=44100,channels=2", "!", "audioconvert", "!", "lamemp3enc",
                    "target=bitrate", "bitrate=128", "cbr=true", "!", "filesink",
                    "location=" + tone.string()},
                   {}, 30s) != 0) {
        throw std::runtime_error("cannot make the test tone");
    }
    return tone;
}

StreamServer::StreamServer(const std::filesystem::path& workDir, std::optional<Tls> tls)
    : countsFile_(workDir / (tls ? "counts-tls.json" : "counts.json")) {
    const auto tone = workDir / "tone.mp3";
    if (!std::filesystem::exists(tone)) {
        makeTone(workDir);
    }
    std::vector<std::string> argv = {"/usr/bin/python3",
                                     std::string(TUNORA_TEST_SUPPORT_DIR) + "/stream_server.py",
                                     tone.string(), "--counts", countsFile_.string()};
    if (tls) {
        argv.insert(argv.end(), {"--cert", tls->certificate, "--key", tls->key, "--redirect-target",
                                 tls->redirectTarget});
    }
    process_ = std::make_unique<ChildProcess>(argv, std::map<std::string, std::string>{}, true);
    const std::string port = process_->readLine(10s);
    origin_ = std::string(tls ? "https" : "http") + "://127.0.0.1:" + port;
}

std::string StreamServer::url(const std::string& path) const {
    return origin_ + path;
}

int StreamServer::requests(const std::string& path) const {
    std::ifstream file(countsFile_);
    if (!file) {
        return 0;
    }
    const auto counts = nlohmann::json::parse(file, nullptr, false);
    return counts.is_object() && counts.contains(path) ? counts[path].get<int>() : 0;
}

TestCertificates::TestCertificates(const std::filesystem::path& directory) {
    caFile = (directory / "ca.pem").string();
    certificate = (directory / "server.pem").string();
    key = (directory / "server.key").string();
    const std::string caKey = (directory / "ca.key").string();
    const std::string request = (directory / "server.csr").string();
    const std::string extensions = (directory / "server.ext").string();
    std::ofstream(extensions) << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    const std::vector<std::vector<std::string>> steps = {
        {"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", caKey, "-out",
         caFile, "-days", "2", "-subj", "/CN=Tunora Test CA"},
        {"openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request,
         "-subj", "/CN=127.0.0.1"},
        {"openssl", "x509", "-req", "-in", request, "-CA", caFile, "-CAkey", caKey,
         "-CAcreateserial", "-out", certificate, "-days", "2", "-extfile", extensions},
    };
    for (const auto& step : steps) {
        if (runProgram(step, {}, 30s) != 0) {
            throw std::runtime_error("openssl failed");
        }
    }
}

} // namespace tunora::testing

namespace tunora::testing {

PrivateBus::PrivateBus() {
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"dbus-daemon", "--session",
                                                                       "--nofork", "--nopidfile",
                                                                       "--print-address=1"},
                                              std::map<std::string, std::string>{}, true);
    address_ = process_->readLine(std::chrono::seconds(10));
}

} // namespace tunora::testing
