#pragma once

#include "platform/SettingsStore.h"

#include <filesystem>
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
// write replaces it, so nothing the user had is lost.
class JsonSettingsStore : public SettingsStore {
  public:
    static constexpr std::uintmax_t maximumFileSize = 1024 * 1024;

    explicit JsonSettingsStore(std::filesystem::path file);
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
    bool writeValue(std::string_view key, nlohmann::json value);
    bool moveUnusableFileAside();
    bool writeDocument(const nlohmann::json& document, bool* changedMeanwhile);
    bool unchangedOnDisk() const;

    std::filesystem::path file_;
    nlohmann::json document_ = nlohmann::json::object();
    FileState state_ = FileState::missing;
    std::optional<FileIdentity> cachedIdentity_;
    std::string lastWriteProblem_;
};

} // namespace tunora
