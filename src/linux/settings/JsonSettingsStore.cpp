#include "linux/settings/JsonSettingsStore.h"

#include "linux/settings/LenientJson.h"
#include "linux/strings/GettextStrings.h"
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

JsonSettingsStore::JsonSettingsStore(std::filesystem::path file,
                                     std::shared_ptr<ProblemLog> problems)
    : file_(std::move(file)), problems_(std::move(problems)) {}

void JsonSettingsStore::tell(const std::string& problem) {
    if (problems_) {
        problems_->report(problem);
    } else {
        g_message("%s", problem.c_str());
    }
}

void JsonSettingsStore::markNotClean(const std::string& key, nlohmann::json::value_t wanted,
                                     const std::string& why) {
    if (!key.empty()) {
        misreadKeys_.emplace(key, wanted);
    }
    if (state_ != FileState::valid || notClean_) {
        return;
    }
    notClean_ = true;
    tell(fillIn(fillIn(GettextStrings::translate(N_("In {}, {}: Tunora reads it as not set")),
                       file_.string()),
                why));
}

nlohmann::json JsonSettingsStore::cleanedDocument() const {
    nlohmann::json document = nlohmann::json::object();
    for (const auto& [key, value] : document_.items()) {
        const auto misread = misreadKeys_.find(key);
        if (misread == misreadKeys_.end()) {
            if (!value.is_null()) { // a number too large was read as null
                document[key] = value;
            }
        } else if (misread->second == nlohmann::json::value_t::array && value.is_array()) {
            nlohmann::json& elements = document[key] = value;
            for (auto& element : elements) {
                if (!element.is_string()) {
                    element = "";
                }
            }
        }
    }
    return document;
}

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
    notClean_ = false;
    misreadKeys_.clear();
    cachedIdentity_ = FileIdentity::of(info);

    files::ReadResult read = files::readRegularFile(file_, maximumFileSize);
    if (read.status == files::ReadResult::Status::missing) {
        state_ = FileState::missing;
        return;
    }
    if (read.status == files::ReadResult::Status::ok) {
        const bool overflowed = nullOverflowingNumbers(read.contents) > 0;
        // The parser rejects malformed UTF-8 as well as malformed JSON.
        nlohmann::json parsed =
            nlohmann::json::parse(read.contents, nullptr, /*allow_exceptions=*/false);
        if (parsed.is_object()) {
            document_ = std::move(parsed);
            state_ = FileState::valid;
            if (overflowed) {
                markNotClean("", nlohmann::json::value_t::null,
                             GettextStrings::translate(N_("a number is too large")));
            }
            return;
        }
        read.problem =
            fillIn(GettextStrings::translate(N_("{} is not a JSON object")), file_.string());
    }
    tell(fillIn(GettextStrings::translate(
                    N_("{}: Tunora starts from its defaults and keeps the file beside "
                       "the new one when it next saves a setting")),
                read.problem));
}

const nlohmann::json* JsonSettingsStore::typedValue(std::string_view key,
                                                    nlohmann::json::value_t wanted) {
    refresh();
    const auto found = document_.find(key);
    if (found == document_.end()) {
        return nullptr;
    }
    const bool number = wanted == nlohmann::json::value_t::number_float;
    if (number ? found->is_number() : found->type() == wanted) {
        return &*found;
    }
    markNotClean(
        std::string(key), wanted,
        fillIn(GettextStrings::translate(N_("\u201c{}\u201d has a value of the wrong type")),
               std::string(key)));
    return nullptr;
}

std::optional<std::vector<SettingsStore::ArrayElement>>
JsonSettingsStore::readArray(std::string_view key) {
    const nlohmann::json* array = typedValue(key, nlohmann::json::value_t::array);
    if (array == nullptr) {
        return std::nullopt;
    }
    std::vector<ArrayElement> elements;
    elements.reserve(array->size());
    for (const auto& element : *array) {
        if (!element.is_string()) {
            markNotClean(std::string(key), nlohmann::json::value_t::array,
                         fillIn(GettextStrings::translate(
                                    N_("\u201c{}\u201d holds a value that is not text")),
                                std::string(key)));
        }
        elements.push_back(element.is_string() ? ArrayElement(element.get<std::string>())
                                               : std::nullopt);
    }
    return elements;
}

std::optional<std::string> JsonSettingsStore::readString(std::string_view key) {
    const nlohmann::json* text = typedValue(key, nlohmann::json::value_t::string);
    return text == nullptr ? std::nullopt : std::optional(text->get<std::string>());
}

bool JsonSettingsStore::writeStringArray(std::string_view key,
                                         const std::vector<std::string>& values) {
    return writeValue(key, values);
}

bool JsonSettingsStore::writeString(std::string_view key, const std::string& value) {
    return writeValue(key, value);
}

std::optional<double> JsonSettingsStore::readNumber(std::string_view key) {
    const nlohmann::json* number = typedValue(key, nlohmann::json::value_t::number_float);
    return number == nullptr ? std::nullopt : std::optional(number->get<double>());
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
        if (state_ == FileState::unusable || notClean_) {
            if (!moveUnusableFileAside()) {
                return false; // never overwrite what we could not read and could not keep
            }
            // What did read stays: the new file keeps every other key, as read.
            document_ = cleanedDocument();
            state_ = FileState::missing;
            notClean_ = false;
            misreadKeys_.clear();
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
            tell(
                fillIn(GettextStrings::translate(N_(
                           "Tunora saved its settings anew; what it could not read is kept in {}")),
                       backup));
            return true;
        }
        if (errno != EEXIST) {
            lastWriteProblem_ = fillIn(
                fillIn(GettextStrings::translate(N_("cannot set aside {}: {}")), file_.string()),
                g_strerror(errno));
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
