#pragma once

#include "support/ChildProcess.h"
#include "support/TemporaryDirectory.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunora::testing {

// A fresh private XDG_RUNTIME_DIR for this test process and what it starts.
class PrivateRuntimeDir {
  public:
    PrivateRuntimeDir();
    const std::filesystem::path& path() const { return directory_.path(); }

  private:
    TemporaryDirectory directory_;
};

// A PulseAudio server with one null sink, "test_sink", in the given runtime dir.
class PulseAudioServer {
  public:
    explicit PulseAudioServer(const std::filesystem::path& runtimeDir);

  private:
    std::unique_ptr<ChildProcess> process_;
};

// Records what reaches test_sink and tells whether a tone is audible right now.
class SoundRecorder {
  public:
    SoundRecorder();
    // Reads what has been recorded so far; call it while waiting.
    void pump();
    // RMS level (0..1) of the last ~100 ms recorded.
    double recentLevel() const;
    // Frequency of the last ~100 ms, from zero crossings of the left channel.
    double recentFrequency() const;

  private:
    std::unique_ptr<ChildProcess> process_;
    std::vector<short> recent_; // interleaved stereo
    std::string partial_;
};

// The loopback stream server (stream_server.py) serving a 440 Hz test tone.
class StreamServer {
  public:
    struct Tls {
        std::string certificate;
        std::string key;
        std::string redirectTarget; // where /redirect-to-http sends clients
    };
    explicit StreamServer(const std::filesystem::path& workDir, std::optional<Tls> tls = {});
    std::string url(const std::string& path) const;
    int requests(const std::string& path) const;
    static std::filesystem::path makeTone(const std::filesystem::path& directory);

  private:
    std::unique_ptr<ChildProcess> process_;
    std::filesystem::path countsFile_;
    std::string origin_;
};

// A certificate authority and a server certificate for 127.0.0.1, made with openssl.
struct TestCertificates {
    explicit TestCertificates(const std::filesystem::path& directory);
    std::string caFile, certificate, key;
};

} // namespace tunora::testing

namespace tunora::testing {

// A private D-Bus bus (a dbus-daemon with the session configuration).
class PrivateBus {
  public:
    PrivateBus();
    const std::string& address() const { return address_; }

  private:
    std::unique_ptr<ChildProcess> process_;
    std::string address_;
};

} // namespace tunora::testing
