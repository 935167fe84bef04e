#pragma once

#include "platform/LocalizedStrings.h"
#include "platform/LoginItemService.h"
#include "platform/NotificationCenter.h"
#include "platform/ProblemLog.h"
#include "platform/UpdateController.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Image.h"
#include "platform/toolkit/StatusItem.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tunora::fakes {

// An image that draws nothing (real pixels are tested on cairo).
class FakeImage : public Image {
  public:
    explicit FakeImage(Size size) : size_(size) {}
    Size size() const override { return size_; }
    void lockFocus() override {}
    void unlockFocus() override {}
    void drawText(const std::string&, Point, Font) override {}
    void drawImage(const Image&, Rect) override {}
    void setTemplate(bool) override {}
    bool isTemplate() const override { return false; }

  private:
    Size size_;
};

class FakeGraphics : public Graphics {
  public:
    std::shared_ptr<Image> imageWithSystemSymbolName(const std::string&) override {
        return std::make_shared<FakeImage>(Size{16, 16});
    }
    std::shared_ptr<Image> makeImage(Size size) override {
        return std::make_shared<FakeImage>(size);
    }
    Size sizeOfText(const std::string&, Font) override { return {20, 17}; }
    double smallSystemFontSize() override { return 11.0; }
};

class FakeStatusButton : public StatusButton {
  public:
    void setImage(std::shared_ptr<Image> value) override { image = std::move(value); }
    void setImageParts(std::vector<Rect> value) override { imageParts = std::move(value); }
    void setTitle(const std::string& value) override { title = value; }
    void setFont(Font value) override { font = value; }
    void setToolTip(const StatusToolTip& value) override { toolTip = value.oneLine(); }

    std::shared_ptr<Image> image;
    std::vector<Rect> imageParts;
    std::optional<std::string> title;
    std::string toolTip;
    std::optional<Font> font;
};

class FakeStatusItem : public StatusItem {
  public:
    StatusButton* button() override { return &statusButton; }
    void setMenu(std::unique_ptr<Menu> value) override {
        ++menusSet;
        current = std::move(value);
    }
    const Menu* menu() const override { return current.get(); }
    void setScrollHandler(std::function<double(int)> handler) override {
        scroll = std::move(handler);
    }
    void setMenuOpeningHandler(std::function<void(const Menu&)> handler) override {
        opening = std::move(handler);
    }
    void setMenuDidCloseHandler(std::function<void()> handler) override {
        didClose = std::move(handler);
    }

    FakeStatusButton statusButton;
    std::function<double(int)> scroll;
    std::function<void(const Menu&)> opening; // as the panel opens a menu
    std::function<void()> didClose;           // as the panel closes it
    std::unique_ptr<Menu> current;
    int menusSet = 0;
};

class FakeStatusBar : public StatusBar {
  public:
    std::shared_ptr<StatusItem> statusItemWithLength(double) override {
        item = std::make_shared<FakeStatusItem>();
        return item;
    }
    std::shared_ptr<FakeStatusItem> item;
};

// Answers every key with "[key]", so tests see which key was asked for; or with
// the text a test gave for it, to see what was filled in.
class FakeStrings : public LocalizedStrings {
  public:
    std::string localizedString(const std::string& key) override {
        const auto given = texts.find(key);
        return given != texts.end() ? given->second : "[" + key + "]";
    }
    std::map<std::string, std::string> texts;
};

class FakeLoginItems : public LoginItemService {
  public:
    int status() override { return currentStatus; }
    bool registerApplication() override { return currentStatus = statusEnabled, true; }
    bool unregisterApplication() override { return currentStatus = statusNotRegistered, true; }
    std::string lastProblem() const override { return ""; }
    int currentStatus = statusNotRegistered;
};

class FakeUpdateController : public UpdateController {
  public:
    void performAction(const std::string&, const MenuItem&) override {}
};

class FakeNotificationCenter : public NotificationCenter {
  public:
    void requestAuthorization(unsigned, std::function<void(bool)> completion) override {
        completion(false); // refused: nothing may change
    }
    void post(const std::string&, const std::string&) override {}
};

// Records what the program tells the listener, as "title: body" (or the body
// alone), and the topics it settles.
class FakeProblemLog : public ProblemLog {
  public:
    void tell(const Notice& notice) override {
        told.push_back(
            {notice.topic, notice.title.empty() ? notice.body : notice.title + ": " + notice.body});
    }
    void settle(const std::string& topic) override { settled.push_back(topic); }
    void startFinished() override { ++starts; }
    std::vector<std::pair<std::string, std::string>> told; // topic, text
    // The texts told, in order.
    std::vector<std::string> reported() const {
        std::vector<std::string> texts;
        for (const auto& notice : told) {
            texts.push_back(notice.second);
        }
        return texts;
    }
    std::vector<std::string> settled;
    int starts = 0;
};

class FakeApplication : public Application {
  public:
    void setDelegate(ApplicationDelegate* value) override { delegate = value; }
    void run() override { delegate->applicationDidFinishLaunching(); }
    void terminate() override {}
    ApplicationDelegate* delegate = nullptr;
};

} // namespace tunora::fakes
