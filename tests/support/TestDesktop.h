#pragma once

// What a test needs from the private desktop it runs in, and waiting on the GLib
// main loop. tests/support/desktop.py starts the desktop (X server, buses, sound
// server, stream servers) and passes its addresses in the environment.

#include "linux/glib/GObjectPtr.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gio/gio.h>
#include <string>
#include <vector>

namespace tunora::testing {

using namespace std::chrono_literals;

// The desktop's loopback stream servers (plain http, and https signed by testCaFile).
std::string streamUrl(const std::string& path);
std::string tlsStreamUrl(const std::string& path);
std::string testCaFile();
int streamRequests(const std::string& path);
int tlsStreamRequests(const std::string& path);

// One pass of the main loop, then a short rest so polling loops stay cool.
void spinMainLoop();
// Calls between() until condition holds; false when the deadline passed first.
// The default is generous: under the sanitizers on a busy machine, what takes a
// second here can take many.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 60s,
               const std::function<void()>& between = spinMainLoop);

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// A program the test started, with its stdout readable; killed when this goes away.
class RunningProgram {
  public:
    explicit RunningProgram(const std::vector<std::string>& argv);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // What it printed since the last call, without waiting.
    std::string readAvailable();

  private:
    GObjectPtr<GSubprocess> process_;
};

// Listens to the desktop's null sink and tells whether a tone is audible now.
class SoundRecorder {
  public:
    SoundRecorder();
    // Reads what has been recorded so far; call it while waiting.
    void pump();
    // RMS level (0..1) and frequency (from zero crossings) of the last ~100 ms.
    double recentLevel() const;
    double recentFrequency() const;

  private:
    RunningProgram parec_;
    std::vector<short> recent_; // interleaved stereo
    std::string partial_;
};

} // namespace tunora::testing
