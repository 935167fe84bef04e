#pragma once

#include "platform/LocalizedStrings.h"
#include "platform/LoginItemService.h"
#include "platform/NotificationCenter.h"
#include "platform/UpdateController.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Image.h"
#include "platform/toolkit/StatusItem.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tunora::fakes {

// An image that records what was drawn into it.
class FakeImage : public Image {
  public:
    explicit FakeImage(Size size, std::string name = "") : size_(size), name(std::move(name)) {}
    Size size() const override { return size_; }
    void lockFocus() override { focused = true; }
    void unlockFocus() override { focused = false; }
    void drawText(const std::string& text, Point at, Font font) override {
        drawnText.push_back({text, at, font, focused});
    }
    void drawImage(const Image& image, Rect into) override {
        drawnImages.push_back({static_cast<const FakeImage&>(image).name, into, focused});
    }
    void setTemplate(bool value) override { templateFlag = value; }
    bool isTemplate() const override { return templateFlag.value_or(true); }

    struct Text {
        std::string text;
        Point at;
        Font font;
        bool whileFocused;
    };
    struct Drawn {
        std::string name;
        Rect into;
        bool whileFocused;
    };
    std::vector<Text> drawnText;
    std::vector<Drawn> drawnImages;
    std::optional<bool> templateFlag;
    bool focused = false;

  private:
    Size size_;

  public:
    std::string name;
};

class FakeGraphics : public Graphics {
  public:
    std::shared_ptr<Image> imageWithSystemSymbolName(const std::string& name) override {
        requestedSymbols.push_back(name);
        if (!hasSymbol) {
            return nullptr;
        }
        return std::make_shared<FakeImage>(Size{16, 16}, name);
    }
    std::shared_ptr<Image> makeImage(Size size) override {
        auto image = std::make_shared<FakeImage>(size);
        made.push_back(image);
        return image;
    }
    Size sizeOfText(const std::string&, Font font) override {
        measuredFonts.push_back(font);
        return textSize;
    }
    double smallSystemFontSize() override { return 11.0; }

    Size textSize{20, 17};
    bool hasSymbol = true;
    std::vector<std::string> requestedSymbols;
    std::vector<Font> measuredFonts;
    std::vector<std::shared_ptr<FakeImage>> made;
};

class FakeStatusButton : public StatusButton {
  public:
    void setImage(std::shared_ptr<Image> value) override { image = std::move(value); }
    void setTitle(const std::string& value) override { title = value; }
    void setFont(Font value) override { font = value; }
    void setToolTip(const std::string& value) override { toolTip = value; }

    std::shared_ptr<Image> image;
    std::optional<std::string> title;
    std::string toolTip;
    std::optional<Font> font;
};

class FakeStatusItem : public StatusItem {
  public:
    explicit FakeStatusItem(bool withButton = true) : withButton_(withButton) {}
    StatusButton* button() override { return withButton_ ? &statusButton : nullptr; }
    void setMenu(std::unique_ptr<Menu> value) override {
        ++menusSet;
        retired.push_back(std::move(current));
        current = std::move(value);
    }
    const Menu* menu() const override { return current.get(); }
    void setScrollHandler(std::function<void(int)> handler) override {
        scroll = std::move(handler);
    }

    FakeStatusButton statusButton;
    std::function<void(int)> scroll;
    std::unique_ptr<Menu> current;
    std::vector<std::unique_ptr<Menu>> retired;
    int menusSet = 0;

  private:
    bool withButton_;
};

class FakeStatusBar : public StatusBar {
  public:
    std::shared_ptr<StatusItem> statusItemWithLength(double length) override {
        lengths.push_back(length);
        item = std::make_shared<FakeStatusItem>();
        return item;
    }
    std::vector<double> lengths;
    std::shared_ptr<FakeStatusItem> item;
};

// Answers every key with "[key]", so tests see which key was asked for.
class FakeStrings : public LocalizedStrings {
  public:
    std::string localizedString(const std::string& key) override { return "[" + key + "]"; }
};

class FakeLoginItems : public LoginItemService {
  public:
    int status() override { return currentStatus; }
    bool registerApplication() override {
        calls.push_back("register");
        if (refuse) {
            return false;
        }
        currentStatus = statusEnabled;
        return true;
    }
    bool unregisterApplication() override {
        calls.push_back("unregister");
        if (refuse) {
            return false;
        }
        currentStatus = statusNotRegistered;
        return true;
    }
    std::string lastProblem() const override { return refuse ? "cannot write x: denied" : ""; }
    int currentStatus = statusNotRegistered;
    bool refuse = false;
    std::vector<std::string> calls;
};

class FakeUpdateController : public UpdateController {
  public:
    void performAction(const std::string& action, const MenuItem&) override {
        actions.push_back(action);
    }
    std::vector<std::string> actions;
};

class FakeNotificationCenter : public NotificationCenter {
  public:
    void requestAuthorization(unsigned value, std::function<void(bool)> completion) override {
        options.push_back(value);
        completion(false); // refused: nothing may change
    }
    void post(const std::string& title, const std::string& body) override {
        posted.push_back(title + ": " + body);
    }
    std::vector<unsigned> options;
    std::vector<std::string> posted;
};

class FakeApplication : public Application {
  public:
    void setDelegate(ApplicationDelegate* value) override { delegate = value; }
    void run() override { delegate->applicationDidFinishLaunching(); }
    void terminate() override { ++terminated; }
    ApplicationDelegate* delegate = nullptr;
    int terminated = 0;
};

} // namespace tunora::fakes
