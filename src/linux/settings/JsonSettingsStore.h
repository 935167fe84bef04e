#pragma once

#include "platform/ProblemLog.h"
#include "platform/SettingsStore.h"

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sys/stat.h>

namespace tunora {

// Settings kept as one JSON object in a file (by default
// $XDG_CONFIG_HOME/tunora/defaults.json).
//
// Reads are served from a cache that is trusted only while the file's inode,
// size and modification time are unchanged, so hand edits show at the next read.
// Writes are atomic and keep every other key, also those another program
// wrote a moment before: a write changes only its key in what is on disk, and
// starts once more from the file if it changed while being written. A file that cannot be
// understood reads as empty and is moved aside (defaults.json.bad-<timestamp>) before the first
// write replaces it, so nothing the user had is lost. So is a file that did not read
// cleanly: a value of the wrong type where the program looked, or a number too large to
// hold (read as none, so that it costs only its own key). What is wrong with the file,
// and where it was kept, is told to the ProblemLog given as one thing, in the
// listener's language.
class JsonSettingsStore : public SettingsStore {
  public:
    static constexpr std::uintmax_t maximumFileSize = 1024 * 1024;

    explicit JsonSettingsStore(std::filesystem::path file,
                               std::shared_ptr<ProblemLog> problems = nullptr);
    static std::filesystem::path defaultPath();

    std::optional<std::vector<ArrayElement>> readArray(std::string_view key) override;
    bool writeStringArray(std::string_view key, const std::vector<std::string>& values) override;
    std::optional<std::string> readString(std::string_view key) override;
    bool writeString(std::string_view key, const std::string& value) override;
    std::optional<double> readNumber(std::string_view key) override;
    bool writeNumber(std::string_view key, double value) override;
    std::string lastWriteProblem() const override { return lastWriteProblem_; }

    const std::filesystem::path& path() const { return file_; }

  private:
    struct FileIdentity {
        dev_t device;
        ino_t inode;
        off_t size;
        timespec modified;
        static FileIdentity of(const struct stat& info);
        bool operator==(const FileIdentity& other) const;
    };
    enum class FileState { missing, valid, unusable };

    void refresh();
    void load(const struct stat& info);
    // The value under key when it has the type wanted; otherwise none, and a
    // value of another type marks the file as not read cleanly.
    const nlohmann::json* typedValue(std::string_view key, nlohmann::json::value_t wanted);
    // Notes a value the program could not take as it is (none for a number too
    // large, which the reading already turned into null), and tells why.
    void markNotClean(const std::string& key, nlohmann::json::value_t wanted,
                      const std::string& why);
    // The document as the program read it: values of the wrong type removed,
    // array elements that are not text made empty.
    nlohmann::json cleanedDocument() const;
    void tell(const std::string& problem);
    std::optional<nlohmann::json> parseObject(const std::string& contents,
                                              std::string& problem) const;
    bool writeValue(std::string_view key, nlohmann::json value);
    bool moveUnusableFileAside();
    bool writeDocument(const nlohmann::json& document, bool* changedMeanwhile);
    bool unchangedOnDisk() const;

    std::filesystem::path file_;
    nlohmann::json document_ = nlohmann::json::object();
    FileState state_ = FileState::missing;
    // Whether the file did not read cleanly, and the keys whose values were not
    // of the type the program wanted (with that type). Kept aside before a write.
    bool notClean_ = false;
    std::map<std::string, nlohmann::json::value_t> misreadKeys_;
    // What was wrong with the file as read, in the listener's language.
    std::string readProblem_;
    std::shared_ptr<ProblemLog> problems_;
    std::optional<FileIdentity> cachedIdentity_;
    std::string lastWriteProblem_;
};

} // namespace tunora
