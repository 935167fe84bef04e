// Time from "play" to the first audio at the sound server, for Tunora's stream
// player, gst-play-1.0 (the GStreamer floor) and an idle mpv told to load the
// URL over its IPC socket, all on the same loopback stream; then the resident
// memory of a player that switched stations 500 times.

#include "linux/app/EnvironmentSettings.h"
#include "linux/glib/GObjectPtr.h"
#include "linux/net/HttpService.h"
#include "linux/playback/GstStreamPlayerFactory.h"
#include "support/TestDesktop.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace testing = tunora::testing;

namespace {

constexpr int runs = 15;

void spin(testing::SoundRecorder& recorder) {
    g_main_context_iteration(nullptr, FALSE);
    recorder.pump();
    std::this_thread::sleep_for(1ms);
}

// Milliseconds from start until the sink carries sound; -1 on time-out.
double msUntilSound(testing::SoundRecorder& recorder, Clock::time_point start) {
    const bool heard = testing::waitUntil([&] { return recorder.recentLevel() > 0.02; }, 10s,
                                          [&] { spin(recorder); });
    return heard ? std::chrono::duration<double, std::milli>(Clock::now() - start).count() : -1;
}

void waitForSilence(testing::SoundRecorder& recorder) {
    testing::waitUntil([&] { return recorder.recentLevel() < 0.002; }, 10s,
                       [&] { spin(recorder); });
}

void report(const char* name, std::vector<double> samples, double reference) {
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    std::printf("%-14s median %6.1f ms  min %6.1f  max %6.1f  p90 %6.1f", name, median,
                samples.front(), samples.back(), samples[samples.size() * 9 / 10]);
    if (reference > 0) {
        std::printf("  (%.2fx Tunora)", median / reference);
    }
    std::printf("\n");
}

// The program's stream players, on an HTTP service of their own.
tunora::GstStreamPlayerFactory makeFactory() {
    const auto settings = tunora::EnvironmentSettings::read().playback();
    return tunora::GstStreamPlayerFactory(
        settings, std::make_shared<tunora::HttpService>(tunora::HttpService::Options{
                      settings.networkTimeout, settings.tlsCaFile, settings.redirectCache}));
}

std::vector<double> benchTunora(testing::SoundRecorder& recorder, const std::string& url) {
    tunora::GstStreamPlayerFactory factory = makeFactory();
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        auto player = factory.makePlayer(url);
        const auto start = Clock::now();
        player->play();
        samples.push_back(msUntilSound(recorder, start));
        player.reset();
        waitForSilence(recorder);
    }
    return samples;
}

std::vector<double> benchGstPlay(testing::SoundRecorder& recorder, const std::string& url) {
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        {
            testing::RunningProgram player({"gst-play-1.0", "-q", "--no-interactive", url});
            samples.push_back(msUntilSound(recorder, start));
        }
        waitForSilence(recorder);
    }
    return samples;
}

bool sendToMpv(const std::string& socketPath, const std::string& command) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    const bool sent = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                      write(fd, command.data(), command.size()) == ssize_t(command.size());
    close(fd);
    return sent;
}

std::vector<double> benchMpv(testing::SoundRecorder& recorder, const std::string& url,
                             const std::filesystem::path& work) {
    const std::string socketPath = (work / "mpv.sock").string();
    testing::RunningProgram mpv(
        {"mpv", "--idle=yes", "--no-video", "--no-terminal", "--input-ipc-server=" + socketPath});
    testing::waitUntil([&] { return sendToMpv(socketPath, "\n"); }, 10s,
                       [] { std::this_thread::sleep_for(20ms); });
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        sendToMpv(socketPath, "{\"command\": [\"loadfile\", \"" + url + "\"]}\n");
        samples.push_back(msUntilSound(recorder, start));
        sendToMpv(socketPath, "{\"command\": [\"stop\"]}\n");
        waitForSilence(recorder);
    }
    return samples;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void benchSwitchMemory(testing::SoundRecorder& recorder) {
    tunora::GstStreamPlayerFactory factory = makeFactory();
    auto player = factory.makePlayer(testing::streamUrl("/station-0.mp3"));
    player->play();
    msUntilSound(recorder, Clock::now());
    const long afterFirst = residentKiB();
    constexpr int warmUpSwitches = 100; // caches and allocator pools fill during these
    // BENCH_SWITCHES: how many switches are measured
    const char* switches = std::getenv("BENCH_SWITCHES");
    const int measuredSwitches = switches != nullptr ? std::atoi(switches) : 500;
    long afterWarmUp = 0;
    for (int i = 1; i <= warmUpSwitches + measuredSwitches; ++i) {
        player =
            factory.makePlayer(testing::streamUrl("/station-" + std::to_string(i % 49) + ".mp3"));
        player->play();
        for (int k = 0; k < 10; ++k) {
            spin(recorder);
        }
        if (i == warmUpSwitches) {
            // measured as at the end: with a station playing
            msUntilSound(recorder, Clock::now());
            afterWarmUp = residentKiB();
        } else if (i > warmUpSwitches && i % 100 == 0) {
            std::printf("  %+ld KiB after %d switches\n", residentKiB() - afterWarmUp,
                        i - warmUpSwitches);
        }
    }
    msUntilSound(recorder, Clock::now());
    const long afterSwitches = residentKiB();
    std::printf("resident memory: %ld KiB after the first play, %ld KiB after %d switches, "
                "%ld KiB after %d more (%+ld KiB over those)\n",
                afterFirst, afterWarmUp, warmUpSwitches, afterSwitches, measuredSwitches,
                afterSwitches - afterWarmUp);
}

} // namespace

int main(int argc, char** argv) {
    testing::TemporaryDirectory work;
    testing::SoundRecorder recorder;
    if (argc > 1 && std::string(argv[1]) == "--switches-only") {
        benchSwitchMemory(recorder);
        return 0;
    }
    const std::string url = testing::streamUrl("/tone.mp3");

    const auto tunora = benchTunora(recorder, url);
    const auto gstPlay = benchGstPlay(recorder, url);
    const auto mpv = benchMpv(recorder, url, work.path());
    auto sorted = tunora;
    std::sort(sorted.begin(), sorted.end());
    std::printf("play -> first audio at the sink, %d runs each, loopback HTTP stream:\n", runs);
    report("tunora", tunora, 0);
    report("gst-play-1.0", gstPlay, sorted[sorted.size() / 2]);
    report("mpv (idle)", mpv, sorted[sorted.size() / 2]);
    benchSwitchMemory(recorder);
    return 0;
}
