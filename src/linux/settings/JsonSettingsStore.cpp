#include "linux/settings/JsonSettingsStore.h"

#include "linux/system/Files.h"
#include "linux/system/UniqueFd.h"
#include "linux/system/XdgPaths.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <glib.h>
#include <string>

namespace tunora {
namespace {

std::string utcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

} // namespace

JsonSettingsStore::FileIdentity JsonSettingsStore::FileIdentity::of(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

bool JsonSettingsStore::FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

JsonSettingsStore::JsonSettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path JsonSettingsStore::defaultPath() {
    return xdg::configHome() / "tunora" / "defaults.json";
}

void JsonSettingsStore::refresh() {
    struct stat info{};
    if (::stat(file_.c_str(), &info) != 0) {
        state_ = errno == ENOENT || errno == ENOTDIR ? FileState::missing : FileState::unusable;
        document_ = nlohmann::json::object();
        cachedIdentity_.reset();
        return;
    }
    const FileIdentity identity = FileIdentity::of(info);
    if (cachedIdentity_ && *cachedIdentity_ == identity) {
        return;
    }
    load(info);
}

void JsonSettingsStore::load(const struct stat& info) {
    state_ = FileState::unusable;
    document_ = nlohmann::json::object();
    cachedIdentity_ = FileIdentity::of(info);

    files::ReadResult read = files::readRegularFile(file_, maximumFileSize);
    if (read.status == files::ReadResult::Status::missing) {
        state_ = FileState::missing;
        return;
    }
    if (read.status == files::ReadResult::Status::ok) {
        // The parser rejects malformed UTF-8 as well as malformed JSON.
        nlohmann::json parsed =
            nlohmann::json::parse(read.contents, nullptr, /*allow_exceptions=*/false);
        if (parsed.is_object()) {
            document_ = std::move(parsed);
            state_ = FileState::valid;
            return;
        }
        read.problem = file_.string() + " is not a JSON object";
    }
    g_message("%s; it is set aside before settings are saved again", read.problem.c_str());
}

std::optional<std::vector<SettingsStore::ArrayElement>>
JsonSettingsStore::readArray(std::string_view key) {
    refresh();
    const auto found = document_.find(key);
    if (found == document_.end() || !found->is_array()) {
        return std::nullopt;
    }
    std::vector<ArrayElement> elements;
    elements.reserve(found->size());
    for (const auto& element : *found) {
        elements.push_back(element.is_string() ? ArrayElement(element.get<std::string>())
                                               : std::nullopt);
    }
    return elements;
}

std::optional<std::string> JsonSettingsStore::readString(std::string_view key) {
    refresh();
    const auto found = document_.find(key);
    if (found == document_.end() || !found->is_string()) {
        return std::nullopt;
    }
    return found->get<std::string>();
}

bool JsonSettingsStore::writeStringArray(std::string_view key,
                                         const std::vector<std::string>& values) {
    return writeValue(key, values);
}

bool JsonSettingsStore::writeString(std::string_view key, const std::string& value) {
    return writeValue(key, value);
}

std::optional<double> JsonSettingsStore::readNumber(std::string_view key) {
    refresh();
    const auto found = document_.find(key);
    if (found == document_.end() || !found->is_number()) {
        return std::nullopt;
    }
    return found->get<double>();
}

bool JsonSettingsStore::writeNumber(std::string_view key, double value) {
    return writeValue(key, value);
}

bool JsonSettingsStore::writeValue(std::string_view key, nlohmann::json value) {
    // Another program may write the file as well: the key goes into what is on
    // disk now, and once more into what is there if it changed in the meantime.
    bool changedMeanwhile = false;
    for (const bool lastRound : {false, true}) {
        refresh();
        if (state_ == FileState::unusable) {
            if (!moveUnusableFileAside()) {
                return false; // never overwrite what we could not read and could not keep
            }
            state_ = FileState::missing;
        }
        nlohmann::json document = document_;
        document[std::string(key)] = value;
        if (writeDocument(document, lastRound ? nullptr : &changedMeanwhile)) {
            return true;
        }
        if (!changedMeanwhile) {
            return false;
        }
    }
    return false;
}

// Whether the file is still the one refresh() last read (or still missing).
bool JsonSettingsStore::unchangedOnDisk() const {
    struct stat info{};
    if (::stat(file_.c_str(), &info) != 0) {
        return state_ == FileState::missing && errno == ENOENT;
    }
    return cachedIdentity_ && *cachedIdentity_ == FileIdentity::of(info);
}

bool JsonSettingsStore::moveUnusableFileAside() {
    lastWriteProblem_.clear();
    const std::string base = file_.string() + ".bad-" + utcTimestamp();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const std::string backup = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, file_.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            lastWriteProblem_ = "cannot set aside " + file_.string() + ": " + g_strerror(errno);
            return false;
        }
    }
    return false;
}

// With changedMeanwhile, the file is replaced only if it is still the one read.
bool JsonSettingsStore::writeDocument(const nlohmann::json& document, bool* changedMeanwhile) {
    const std::string contents =
        document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    struct stat written{};
    std::function<bool()> stillCurrent;
    if (changedMeanwhile != nullptr) {
        stillCurrent = [this, changedMeanwhile] {
            *changedMeanwhile = !unchangedOnDisk();
            return !*changedMeanwhile;
        };
    }
    const bool replaced =
        files::replaceFile(file_, contents, 0600, lastWriteProblem_, &written, stillCurrent);
    if (!replaced) {
        return false; // the cache keeps what is really stored
    }
    lastWriteProblem_.clear();
    document_ = document;
    state_ = FileState::valid;
    // The identity of what we wrote: if another program replaced the file in
    // the meantime, the next read notices.
    cachedIdentity_ = FileIdentity::of(written);
    return true;
}

} // namespace tunora
