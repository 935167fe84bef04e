#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunora {

// The user's persistent settings: values by key, kept across runs.
class SettingsStore {
  public:
    // One element of a stored array: its text when it is a string, none when it
    // holds anything else (a number, an object, ...).
    using ArrayElement = std::optional<std::string>;

    virtual ~SettingsStore() = default;

    // The array stored under key; none when the key is missing or holds no array.
    virtual std::optional<std::vector<ArrayElement>> readArray(std::string_view key) = 0;
    // Stores an array of strings under key, keeping every other key. Returns
    // whether it was kept; callers may ignore failure.
    virtual bool writeStringArray(std::string_view key, const std::vector<std::string>& values) = 0;

    // The string stored under key; none when the key is missing or holds no string.
    virtual std::optional<std::string> readString(std::string_view key) = 0;
    // Stores a string under key, keeping every other key. Returns whether it was kept.
    virtual bool writeString(std::string_view key, const std::string& value) = 0;
    // The number stored under key; none when the key is missing or holds no number.
    virtual std::optional<double> readNumber(std::string_view) { return std::nullopt; }
    // Stores a number under key, keeping every other key. Returns whether it was kept.
    virtual bool writeNumber(std::string_view, double) { return false; }
    // Why the last write failed, naming the file and the reason; empty after a success.
    virtual std::string lastWriteProblem() const { return {}; }
};

} // namespace tunora
