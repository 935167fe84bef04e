#pragma once

#include "core/catalogue/OndoChannel.h"
#include "core/hotkeys/HotkeyManager.h"
#include "core/playback/AudioPlayer.h"
#include "platform/InstanceCommandCenter.h"
#include "platform/RemoteCommandCenter.h"

#include <memory>
#include <string>
#include <vector>

namespace tunora {

// As choosing the station's item in the menu: another station plays, the
// current one pauses or resumes.
void chooseStation(AudioPlayer& player, const OndoChannel& channel);

// What reaches the program from outside its menu, answered as the menu and the
// keys would: Next and Previous from the desktop's media controls, and the
// commands of later starts ("tunora --station ndr2", --slot, --status).
class OutsideCommands {
  public:
    static std::shared_ptr<OutsideCommands> create(std::shared_ptr<AudioPlayer> player,
                                                   std::shared_ptr<HotkeyManager> hotkeys,
                                                   std::vector<OndoChannel> channels);

    OutsideCommands(const OutsideCommands&) = delete;
    OutsideCommands& operator=(const OutsideCommands&) = delete;

    // Next and Previous are answered from now on.
    void installStepHandlers(RemoteCommandCenter& commands);
    // Later starts reach the program from now on.
    void openInstanceCommands(InstanceCommandCenter& center);

    // As choosing the station in the menu; false for an id of no station.
    bool selectChannel(const std::string& id);
    // As pressing the slot's hot key; false when the press would find no station.
    bool pressSlot(int slot);
    // Next (+1) or Previous (-1); false with no station to step from.
    bool stepStation(int step);
    PlayerStatus playerStatus() const;

  private:
    OutsideCommands(std::shared_ptr<AudioPlayer> player, std::shared_ptr<HotkeyManager> hotkeys,
                    std::vector<OndoChannel> channels);

    std::shared_ptr<AudioPlayer> player_;
    std::shared_ptr<HotkeyManager> hotkeys_;
    std::vector<OndoChannel> channels_;
    std::weak_ptr<OutsideCommands> self_;
};

} // namespace tunora
