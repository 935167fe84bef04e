#include "linux/settings/JsonSettingsStore.h"

#include "core/settings/LenientJson.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/Files.h"
#include "linux/system/UniqueFd.h"
#include "linux/system/XdgPaths.h"

#include <cerrno>
#include <fcntl.h>
#include <glib.h>
#include <string>

namespace tunora {

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

// Everything said of the file is one topic: the listener hears what it is
// now, not each step that led there.
void JsonSettingsStore::tell(const std::string& problem) {
    if (problems_) {
        problems_->tell({.topic = file_.string(), .body = problem});
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
    readProblem_ = fillInAll(GettextStrings::translate(N_("In {}, {}: Tunora reads it as not set")),
                             {file_.string(), why});
    tell(readProblem_);
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
        const int error = errno;
        state_ = error == ENOENT || error == ENOTDIR ? FileState::missing : FileState::unusable;
        if (state_ == FileState::unusable) {
            readProblem_ = fillInAll(GettextStrings::translate(N_("cannot open {}: {}")),
                                     {file_.string(), g_strerror(error)});
        }
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
    readProblem_.clear();
    cachedIdentity_ = FileIdentity::of(info);

    files::ReadResult read = files::readRegularFile(file_, maximumFileSize);
    if (read.status == files::ReadResult::Status::missing) {
        state_ = FileState::missing;
        return;
    }
    if (read.status == files::ReadResult::Status::ok) {
        const bool overflowed = nullOverflowingNumbers(read.contents) > 0;
        if (std::optional<nlohmann::json> parsed = parseObject(read.contents, read.problem)) {
            document_ = std::move(*parsed);
            state_ = FileState::valid;
            if (overflowed) {
                markNotClean("", nlohmann::json::value_t::null,
                             GettextStrings::translate(N_("a number is too large")));
            }
            return;
        }
    }
    readProblem_ = read.problem;
    tell(fillIn(GettextStrings::translate(N_("{}: Tunora uses its defaults until it is mended")),
                readProblem_));
}

// The document, or none with why not: where the parser stopped, as an editor
// counts, so that a stray comma is found at once.
std::optional<nlohmann::json> JsonSettingsStore::parseObject(const std::string& contents,
                                                             std::string& problem) const {
    try {
        // The parser rejects malformed UTF-8 as well as malformed JSON.
        nlohmann::json parsed = nlohmann::json::parse(contents);
        if (parsed.is_object()) {
            return parsed;
        }
        problem = fillIn(GettextStrings::translate(N_("{} is not a JSON object")), file_.string());
    } catch (const nlohmann::json::parse_error& error) {
        const TextPosition at = positionOfByte(contents, error.byte);
        problem =
            fillInAll(GettextStrings::translate(N_("{} is not valid JSON (line {}, column {})")),
                      {file_.string(), std::to_string(at.line), std::to_string(at.column)});
    } catch (const nlohmann::json::exception&) {
        problem = fillIn(GettextStrings::translate(N_("{} is not valid JSON")), file_.string());
    }
    return std::nullopt;
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

// Told as one thing with what was wrong, so that the listener can mend the kept
// copy: what did read is in the new file; the file as it was, only there.
bool JsonSettingsStore::moveUnusableFileAside() {
    lastWriteProblem_.clear();
    const std::optional<std::filesystem::path> kept = files::setAside(file_, lastWriteProblem_);
    if (!kept) {
        return false;
    }
    if (state_ == FileState::unusable) {
        tell(fillInAll(GettextStrings::translate(
                           N_("{}: Tunora uses its defaults and has kept the file as {}. To get "
                              "your settings back, mend that copy and rename it to {}.")),
                       {readProblem_, kept->string(), file_.filename().string()}));
    } else {
        tell(fillInAll(GettextStrings::translate(N_("{}; the file as it was is kept as {}")),
                       {readProblem_, kept->string()}));
    }
    return true;
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
