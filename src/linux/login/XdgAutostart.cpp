#include "linux/login/XdgAutostart.h"

#include "linux/system/UniqueFd.h"
#include "linux/system/XdgPaths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <glib.h>
#include <string>
#include <sys/stat.h>

namespace tunora {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

bool writeAtomically(const std::filesystem::path& file, const std::string& contents) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::string temporary = file.string() + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd) {
        return false;
    }
    const bool written = ::fchmod(fd.get(), 0644) == 0 &&
                         ::write(fd.get(), contents.data(), contents.size()) ==
                             static_cast<ssize_t>(contents.size()) &&
                         ::fsync(fd.get()) == 0;
    fd.reset();
    if (!written || std::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

XdgAutostart::XdgAutostart(std::filesystem::path entry, std::filesystem::path program)
    : entry_(std::move(entry)), program_(std::move(program)) {}

std::filesystem::path XdgAutostart::defaultEntry() {
    return xdg::configHome() / "autostart" / "org.tunora.Tunora.desktop";
}

std::string XdgAutostart::execValue(const std::string& program) {
    // Inside the quotes ", `, $ and \ are escaped with a backslash; the value as a
    // whole is a string, where a backslash is written twice; % is doubled for Exec.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
            continue;
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    return quoted + "\"";
}

int XdgAutostart::status() {
    std::ifstream file(entry_);
    if (!file) {
        return statusNotRegistered;
    }
    bool inDesktopEntry = false;
    std::string line;
    while (std::getline(file, line)) {
        line = trim(line);
        if (!line.empty() && line.front() == '[') {
            inDesktopEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inDesktopEntry || equals == std::string::npos) {
            continue;
        }
        const std::string key = trim(line.substr(0, equals));
        const std::string value = trim(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return statusNotRegistered;
        }
    }
    return statusEnabled;
}

bool XdgAutostart::registerApplication() {
    const std::string contents = "[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Tunora\n"
                                 "Comment=German public radio in the system tray\n"
                                 "Exec=" +
                                 execValue(program_.string()) +
                                 "\n"
                                 "Icon=org.tunora.Tunora\n"
                                 "Terminal=false\n"
                                 "X-GNOME-Autostart-enabled=true\n";
    if (!writeAtomically(entry_, contents)) {
        g_message("cannot write %s: %s", entry_.c_str(), g_strerror(errno));
        return false;
    }
    return true;
}

bool XdgAutostart::unregisterApplication() {
    std::error_code error;
    std::filesystem::remove(entry_, error);
    if (error) {
        g_message("cannot remove %s: %s", entry_.c_str(), error.message().c_str());
    }
    return !error;
}

} // namespace tunora
