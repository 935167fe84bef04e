#include "linux/hotkeys/PortalShortcutSession.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using Request = PortalShortcutSession::Request;
using Portal = PortalShortcutSession::Portal;

// The session fed scripted answers, and what it did about each, as text.
class Script {
  public:
    Script()
        : session_({
                       .ask = [this](Request request) { done_.push_back("ask " + name(request)); },
                       .triggersChanged =
                           [this](const ListedTriggers& live) {
                               std::string keys;
                               for (const auto& [id, trigger] : live) {
                                   keys += (keys.empty() ? "" : " ") + id + "=" + trigger;
                               }
                               done_.push_back("keys " + keys);
                           },
                       .say = [this](const std::string& line) { done_.push_back("say " + line); },
                       .keysOff =
                           [this](KeysOff why) {
                               done_.push_back(why == KeysOff::noKeysBound ? "advice: none bound"
                                                                           : "advice: no portal");
                           },
                       .keysLostWithEndedPortal = [this] { done_.push_back("tell: keys lost"); },
                   },
                   [](const std::string& trigger) { return "<" + trigger + ">"; }) {}

    // What the last step did, and forgets it.
    std::vector<std::string> did() { return std::exchange(done_, {}); }
    PortalShortcutSession& session() { return session_; }

  private:
    static std::string name(Request request) {
        switch (request) {
        case Request::createSession:
            return "CreateSession";
        case Request::listShortcuts:
            return "ListShortcuts";
        case Request::bindShortcuts:
            break;
        }
        return "BindShortcuts";
    }

    PortalShortcutSession session_;
    std::vector<std::string> done_;
};

using Did = std::vector<std::string>;
const ListedTriggers bothBound{{"slot1", "Alt+1"}, {"slot2", "Alt+2"}};
const ListedTriggers bothListedWithoutKeys{{"slot1", ""}, {"slot2", ""}};

// Up to the answer of the first ListShortcuts, holding nothing yet.
void startSession(Script& script, Portal portal = {.version = 2}) {
    script.session().setShortcuts({"slot1", "slot2"});
    EXPECT_EQ(script.did(), Did{}) << "no session to bind in yet";
    script.session().portalReady(portal);
    EXPECT_EQ(script.did(), Did{"ask CreateSession"});
    script.session().created(0, "/session/tunora");
    EXPECT_EQ(script.did(), Did{"ask ListShortcuts"});
}

TEST(PortalShortcutSessionTest, ShortcutsAreBoundAndWhatTheDesktopListsIsLive) {
    Script script;
    startSession(script);
    script.session().listed(ListedTriggers{});
    EXPECT_EQ(script.did(), Did{"ask BindShortcuts"});
    script.session().bound(2); // GNOME answers 2 for keys it did bind
    EXPECT_EQ(script.did(), Did{"ask ListShortcuts"});
    script.session().listed(bothBound);
    EXPECT_EQ(script.did(), (Did{"keys slot1=Alt+1 slot2=Alt+2",
                                 "say global shortcuts: 1 = <Alt+1>, 2 = <Alt+2>"}));

    // The desktop changes a key of another session, then one of ours.
    script.session().shortcutsChanged("/session/other", {{"slot1", "Ctrl+1"}});
    EXPECT_EQ(script.did(), Did{});
    script.session().shortcutsChanged("/session/tunora", {{"slot1", "Ctrl+1"}});
    EXPECT_EQ(script.did(),
              (Did{"keys slot1=Ctrl+1 slot2=", "say global shortcuts: 1 = <Ctrl+1>, 2 = none"}));

    // A new portal, the same keys: bound again, and the same line is not said twice.
    script.session().portalEnded(false);
    EXPECT_EQ(script.did(), Did{"keys slot1= slot2="});
    EXPECT_EQ(script.session().handle(), "");
    script.session().portalReady({.version = 2});
    script.session().created(0, "/session/tunora");
    script.session().listed(ListedTriggers{{"slot1", "Ctrl+1"}});
    script.session().bound(0);
    script.session().listed(ListedTriggers{{"slot1", "Ctrl+1"}});
    EXPECT_EQ(script.did(), (Did{"ask CreateSession", "ask ListShortcuts", "ask BindShortcuts",
                                 "ask ListShortcuts", "keys slot1=Ctrl+1 slot2="}));
}

TEST(PortalShortcutSessionTest, PlasmaBefore64HoldingThemAllIsNotBoundAgain) {
    const struct {
        bool bindsOpenWindows;
        ListedTriggers held;
        Did did;
    } cases[] = {
        {true,
         bothBound,
         {"keys slot1=Alt+1 slot2=Alt+2", "say global shortcuts: 1 = <Alt+1>, 2 = <Alt+2>"}},
        {true, {{"slot1", "Alt+1"}}, {"ask BindShortcuts"}},
        {false, bothBound, {"ask BindShortcuts"}},
    };
    for (const auto& [bindsOpenWindows, held, did] : cases) {
        Script script;
        startSession(script, {.version = 1, .bindsOpenWindows = bindsOpenWindows});
        script.session().listed(held);
        EXPECT_EQ(script.did(), did) << bindsOpenWindows << " " << held.size();
    }
}

TEST(PortalShortcutSessionTest, ARefusalIsFinalAndOtherFailuresWaitForTheNextPortal) {
    // The user says no to the bind: nothing is asked again, of any portal.
    Script refused;
    startSession(refused, {.version = 2, .registrationProblem = "not registered"});
    refused.session().listed(ListedTriggers{});
    refused.session().bound(1);
    refused.session().listed(ListedTriggers{});
    EXPECT_EQ(
        refused.did(),
        (Did{"ask BindShortcuts", "ask ListShortcuts",
             "say global shortcuts are off: the desktop did not allow them (not registered)"}));
    refused.session().portalEnded(false);
    refused.session().portalReady({.version = 2});
    refused.session().setShortcuts({"slot1"});
    EXPECT_EQ(refused.did(), Did{});
    EXPECT_TRUE(refused.session().refused());

    // Answers after CreateSession was asked.
    const struct {
        std::string name;
        std::function<void(PortalShortcutSession&)> answer;
        Did did;
    } failures[] = {
        {"no session",
         [](auto& session) { session.created(2, ""); },
         {"say global shortcuts are off: the desktop portal could not make a session"}},
        {"no answer",
         [](auto& session) { session.requestFailed("no answer within 30 s"); },
         {"say global shortcuts are off: no answer within 30 s"}},
        {"a list of another type",
         [](auto& session) {
             session.created(0, "/session/tunora");
             session.listed(std::nullopt, "s");
         },
         {"ask ListShortcuts", "say global shortcuts are off: the desktop portal listed shortcuts "
                               "of type s instead of a(sa{sv})"}},
    };
    for (const auto& [name, answer, did] : failures) {
        Script script;
        script.session().setShortcuts({"slot1", "slot2"});
        script.session().portalReady({.version = 2});
        script.did();
        answer(script.session());
        EXPECT_EQ(script.did(), did) << name;
        script.session().portalEnded(false);
        script.session().portalReady({.version = 2});
        EXPECT_EQ(script.did(), Did{"ask CreateSession"}) << name << ": the next portal is asked";
    }
}

TEST(PortalShortcutSessionTest, WhereTheConfigurationMustGiveTheKeysTheListenerIsAdvised) {
    // No portal at all.
    Script none;
    none.session().setShortcuts({"slot1"});
    none.session().portalEnded(true);
    EXPECT_EQ(none.did(),
              (Did{"say global shortcuts are off: no desktop portal is running (the package "
                   "xdg-desktop-portal provides it)",
                   "advice: no portal"}));

    // A portal without GlobalShortcuts (Sway's): making a session fails.
    Script sway;
    sway.session().setShortcuts({"slot1"});
    sway.session().portalReady({.version = 0});
    sway.session().requestFailed("the desktop portal offers none");
    EXPECT_EQ(sway.did(), (Did{"ask CreateSession",
                               "say global shortcuts are off: the desktop portal offers none",
                               "advice: no portal"}));

    // A portal that takes the shortcuts and binds no key (Hyprland's).
    Script hyprland;
    startSession(hyprland);
    hyprland.session().listed(ListedTriggers{});
    hyprland.session().bound(0);
    hyprland.session().listed(bothListedWithoutKeys);
    EXPECT_EQ(hyprland.did(),
              (Did{"ask BindShortcuts", "ask ListShortcuts", "advice: none bound",
                   "say global shortcuts are off: the desktop bound none of them"}));
}

TEST(PortalShortcutSessionTest, OnGnomeNoKeyOfARestartedPortalIsLiveAndTheListenerIsTold) {
    for (const bool gnome : {true, false}) {
        Script script;
        startSession(script, {.version = 2, .gnome = gnome});
        script.session().listed(bothBound);
        script.session().bound(0);
        script.session().listed(bothBound);
        script.did();
        script.session().portalEnded(false);
        script.session().portalReady({.version = 2, .gnome = gnome});
        script.session().created(0, "/session/tunora");
        script.session().listed(bothBound);
        script.session().bound(2);
        script.session().listed(bothBound);
        const Did told =
            gnome ? Did{"keys slot1= slot2=", "ask CreateSession", "ask ListShortcuts",
                        "ask BindShortcuts",  "ask ListShortcuts", "tell: keys lost"}
                  : Did{"keys slot1= slot2=", "ask CreateSession", "ask ListShortcuts",
                        "ask BindShortcuts",  "ask ListShortcuts", "keys slot1=Alt+1 slot2=Alt+2"};
        EXPECT_EQ(script.did(), told) << "GNOME: " << gnome;
    }
}

TEST(PortalShortcutSessionTest, ShortcutsRegisteredWhileTheSessionIsIdleAreBoundAtOnce) {
    Script script;
    startSession(script);
    script.session().listed(ListedTriggers{});
    script.session().bound(0);
    script.session().listed(bothBound);
    script.did();
    script.session().setShortcuts({"slot1", "slot2", "slot3"});
    EXPECT_EQ(script.did(), Did{"ask BindShortcuts"});
    script.session().setShortcuts({"slot1", "slot2", "slot3"});
    EXPECT_EQ(script.did(), Did{}) << "one request at a time";
}

} // namespace
} // namespace tunora
