#include "linux/login/XdgAutostart.h"

#include "linux/glib/GObjectPtr.h"
#include "linux/system/Files.h"
#include "linux/system/XdgPaths.h"

#include <algorithm>
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

} // namespace

XdgAutostart::XdgAutostart(std::filesystem::path entry, std::filesystem::path program,
                           std::vector<std::filesystem::path> programFolders)
    : entry_(std::move(entry)), program_(std::move(program)),
      programFolders_(std::move(programFolders)) {}

std::vector<std::filesystem::path> XdgAutostart::systemProgramFolders() {
    return {"/usr/local/bin", "/usr/bin", "/bin"};
}

std::string XdgAutostart::command() const {
    constexpr const char* name = "tunora";
    std::error_code error;
    const bool installed =
        program_.filename() == name &&
        std::ranges::any_of(programFolders_, [this, &error](const auto& folder) {
            return std::filesystem::equivalent(folder, program_.parent_path(), error);
        });
    const GCharPtr found(g_find_program_in_path(name));
    if (installed && found && std::filesystem::equivalent(found.get(), program_, error)) {
        return name;
    }
    return program_.string();
}

std::filesystem::path XdgAutostart::defaultEntry() {
    return xdg::configHome() / "autostart" / "org.tunora.Tunora.desktop";
}

std::optional<std::string> XdgAutostart::execValue(const std::string& program) {
    // Inside the quotes ", `, $ and \ are escaped with a backslash; the value as a
    // whole is a string, where a backslash is written twice and a newline, tab or
    // carriage return as \n, \t, \r. Other control characters and text that is
    // not UTF-8 cannot be expressed at all. Nor can %: the rules write it as %%,
    // but GLib looks for the program before it turns %% into %, finds no such
    // file and does not load the entry, so GNOME would never start it.
    if (!g_utf8_validate(program.data(), static_cast<gssize>(program.size()), nullptr)) {
        return std::nullopt;
    }
    // A name or path of plain characters stands as it is, as every session
    // manager reads it.
    const bool plain = !program.empty() && std::ranges::all_of(program, [](char c) {
        return g_ascii_isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '+';
    });
    if (plain) {
        return program;
    }
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '\n' || c == '\t' || c == '\r') {
            quoted += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
            continue;
        }
        if ((static_cast<unsigned char>(c) < 0x20) || c == 0x7f || c == '%') {
            return std::nullopt;
        }
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
            continue;
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
    const std::string program = command();
    const std::optional<std::string> exec = execValue(program);
    if (!exec) {
        const bool percent = program.find('%') != std::string::npos;
        return failed("the path " + program +
                      (percent ? " cannot be started from a desktop entry (GLib skips entries "
                                 "whose program holds a %)"
                               : " cannot be written into a desktop entry (it holds control "
                                 "characters)"));
    }
    const std::string contents = "[Desktop Entry]\n"
                                 "Type=Application\n"
                                 "Name=Tunora\n"
                                 "Comment=German public radio in the system tray\n"
                                 "Exec=" +
                                 *exec +
                                 "\n"
                                 "Icon=org.tunora.Tunora\n"
                                 "Terminal=false\n"
                                 "X-GNOME-Autostart-enabled=true\n";
    std::string problem;
    if (!files::replaceFile(entry_, contents, 0644, problem)) {
        return failed(problem);
    }
    lastProblem_.clear();
    return true;
}

bool XdgAutostart::failed(std::string problem) {
    lastProblem_ = std::move(problem);
    return false;
}

bool XdgAutostart::unregisterApplication() {
    std::error_code error;
    std::filesystem::remove(entry_, error);
    if (error) {
        return failed("cannot remove " + entry_.string() + ": " + error.message());
    }
    lastProblem_.clear();
    return true;
}

} // namespace tunora
