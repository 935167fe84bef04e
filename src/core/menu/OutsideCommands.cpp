#include "core/menu/OutsideCommands.h"

#include "core/menu/StationStep.h"

namespace tunora {

void chooseStation(AudioPlayer& player, const OndoChannel& channel) {
    const auto& current = player.currentChannel();
    if (!current || current->id() != channel.id()) {
        player.play(channel);
    } else if (player.isPlaying()) {
        player.pause();
    } else {
        player.resume();
    }
}

OutsideCommands::OutsideCommands(std::shared_ptr<AudioPlayer> player,
                                 std::shared_ptr<HotkeyManager> hotkeys,
                                 std::vector<OndoChannel> channels)
    : player_(std::move(player)), hotkeys_(std::move(hotkeys)), channels_(std::move(channels)) {}

std::shared_ptr<OutsideCommands> OutsideCommands::create(std::shared_ptr<AudioPlayer> player,
                                                         std::shared_ptr<HotkeyManager> hotkeys,
                                                         std::vector<OndoChannel> channels) {
    std::shared_ptr<OutsideCommands> commands(
        new OutsideCommands(std::move(player), std::move(hotkeys), std::move(channels)));
    commands->self_ = commands;
    return commands;
}

void OutsideCommands::installStepHandlers(RemoteCommandCenter& commands) {
    using Status = RemoteCommandHandlerStatus;
    for (const auto& [command, step] :
         {std::pair{RemoteCommand::nextTrack, 1}, std::pair{RemoteCommand::previousTrack, -1}}) {
        commands.addHandler(command, [weak = self_, step = step] {
            auto strong = weak.lock();
            return strong && strong->stepStation(step) ? Status::success : Status::commandFailed;
        });
    }
}

void OutsideCommands::openInstanceCommands(InstanceCommandCenter& center) {
    using Status = RemoteCommandHandlerStatus;
    auto result = [](bool done) { return done ? Status::success : Status::commandFailed; };
    center.open({
        .selectChannel =
            [weak = self_, result](const std::string& id) {
                auto strong = weak.lock();
                return result(strong && strong->selectChannel(id));
            },
        .pressSlot =
            [weak = self_, result](int slot) {
                auto strong = weak.lock();
                return result(strong && strong->pressSlot(slot));
            },
        .status =
            [weak = self_] {
                auto strong = weak.lock();
                return strong ? strong->playerStatus() : PlayerStatus{};
            },
    });
}

bool OutsideCommands::selectChannel(const std::string& id) {
    const std::optional<std::size_t> index = findChannelIndex(channels_, id);
    if (!index) {
        return false;
    }
    chooseStation(*player_, channels_[*index]);
    return true;
}

bool OutsideCommands::pressSlot(int slot) {
    if (slot < 0 || slot >= HotkeyManager::slotCount) {
        return false;
    }
    const std::optional<std::string> id = hotkeys_->channelIdForSlot(slot);
    if (!id || !findChannelIndex(channels_, *id)) {
        return false;
    }
    hotkeys_->handleHotkey(slot);
    return true;
}

// From the current station to the one steppedChannelIndex names, as choosing it
// in the menu. A step always ends with the target playing: a step that lands on
// the current station (one preset) resumes it when paused and leaves it playing
// rather than pausing it as a second click would.
bool OutsideCommands::stepStation(int step) {
    const auto& current = player_->currentChannel();
    if (!current) {
        return false; // nothing to step from
    }
    std::vector<std::optional<std::string>> slotIds;
    for (int slot = 0; slot < HotkeyManager::slotCount; ++slot) {
        slotIds.push_back(hotkeys_->channelIdForSlot(slot));
    }
    const std::optional<std::size_t> target =
        steppedChannelIndex(channels_, slotIds, current->id(), step);
    if (!target) {
        return false;
    }
    if (channels_[*target].id() == current->id() && player_->isPlaying()) {
        return true;
    }
    chooseStation(*player_, channels_[*target]);
    return true;
}

PlayerStatus OutsideCommands::playerStatus() const {
    PlayerStatus status;
    if (const auto& current = player_->currentChannel()) {
        status.state = player_->isPlaying()   ? PlayerStatus::State::playing
                       : player_->hasStream() ? PlayerStatus::State::paused
                                              : PlayerStatus::State::stopped;
        status.channelId = current->id();
        status.channelName = current->name();
        status.songTitle = player_->streamTitle();
    }
    return status;
}

} // namespace tunora
