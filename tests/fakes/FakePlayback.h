#pragma once

#include "platform/NowPlayingCenter.h"
#include "platform/RemoteCommandCenter.h"
#include "platform/StreamPlayer.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunora::fakes {

// One log shared by the fakes, so tests can check the order of platform calls.
using CallLog = std::shared_ptr<std::vector<std::string>>;

class FakeStreamPlayer : public StreamPlayer {
  public:
    FakeStreamPlayer(CallLog log, int number) : log_(std::move(log)), number_(number) {}
    ~FakeStreamPlayer() override { log_->push_back("release#" + std::to_string(number_)); }
    void play() override {
        log_->push_back("play#" + std::to_string(number_));
        currentRate = 1.0f;
    }
    void pause() override {
        log_->push_back("pause#" + std::to_string(number_));
        currentRate = 0.0f;
    }
    float rate() const override { return currentRate; }
    void setEventHandler(EventHandler handler) override { onEvent = std::move(handler); }
    void setVolume(double value) override { volume = value; }

    // Plays the platform's part: the stream fails, drops or flows by itself.
    void report(StreamEvent::Kind kind, StreamFailure failure = {}, std::string title = {}) {
        if (kind == StreamEvent::Kind::failed) {
            currentRate = 0.0f;
        }
        onEvent(StreamEvent{kind, std::move(failure), std::move(title)});
    }

    float currentRate = 0.0f;
    double volume = 1.0;
    EventHandler onEvent;

  private:
    CallLog log_;
    int number_;
};

class FakeStreamPlayerFactory : public StreamPlayerFactory {
  public:
    explicit FakeStreamPlayerFactory(CallLog log) : log_(std::move(log)) {}
    std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) override {
        auto player = std::make_unique<FakeStreamPlayer>(log_, ++made);
        log_->push_back("make#" + std::to_string(made) + " " + url);
        latest = player.get();
        return player;
    }

    int made = 0;
    FakeStreamPlayer* latest = nullptr; // owned by the player under test

  private:
    CallLog log_;
};

class FakeNowPlayingCenter : public NowPlayingCenter {
  public:
    explicit FakeNowPlayingCenter(CallLog log) : log_(std::move(log)) {}
    void setNowPlayingInfo(const NowPlayingInfo& published) override {
        info = published;
        log_->push_back("info");
    }
    void setPlaybackState(PlaybackState published) override {
        state = published;
        log_->push_back("state " + std::to_string(static_cast<int>(published)));
    }

    std::optional<NowPlayingInfo> info;
    std::optional<PlaybackState> state;

  private:
    CallLog log_;
};

class FakeRemoteCommandCenter : public RemoteCommandCenter {
  public:
    void addHandler(RemoteCommand command, Handler handler) override {
        order.push_back(command);
        handlers[command] = std::move(handler);
    }
    void setVolumeHandler(std::function<void(double)> handler) override {
        volumeHandler = std::move(handler);
    }
    std::function<void(double)> volumeHandler;
    int send(RemoteCommand command) { return static_cast<int>(handlers.at(command)()); }

    std::vector<RemoteCommand> order;
    std::map<RemoteCommand, Handler> handlers;
};

} // namespace tunora::fakes
