#pragma once

#include "platform/SettingsStore.h"

#include <map>

namespace tunora::fakes {

// Settings kept in memory.
class FakeSettingsStore : public SettingsStore {
  public:
    std::optional<std::vector<ArrayElement>> readArray(std::string_view key) override {
        return lookup(arrays, key);
    }
    std::optional<std::string> readString(std::string_view key) override {
        return lookup(texts, key);
    }
    std::optional<double> readNumber(std::string_view key) override { return lookup(numbers, key); }
    bool writeStringArray(std::string_view key, const std::vector<std::string>& values) override {
        if (failWrites) {
            return false;
        }
        arrays[std::string(key)] = std::vector<ArrayElement>(values.begin(), values.end());
        return true;
    }
    bool writeString(std::string_view key, const std::string& value) override {
        texts[std::string(key)] = value;
        return true;
    }
    bool writeNumber(std::string_view key, double value) override {
        if (failWrites) {
            return false;
        }
        numbers[std::string(key)] = value;
        return true;
    }
    std::string lastWriteProblem() const override { return failWrites ? "the disk is full" : ""; }

    // Stored strings of a key, for assertions (a non-string element reads as "<not a string>").
    std::vector<std::string> strings(const std::string& key) const {
        std::vector<std::string> result;
        for (const auto& element : arrays.at(key)) {
            result.push_back(element.value_or("<not a string>"));
        }
        return result;
    }

    std::map<std::string, std::vector<ArrayElement>> arrays;
    std::map<std::string, std::string> texts;
    std::map<std::string, double> numbers;
    // Every write of an array or a number fails, as on a full disk.
    bool failWrites = false;

  private:
    template <typename Map>
    static std::optional<typename Map::mapped_type> lookup(const Map& map, std::string_view key) {
        const auto found = map.find(std::string(key));
        return found == map.end() ? std::nullopt : std::optional(found->second);
    }
};

} // namespace tunora::fakes
