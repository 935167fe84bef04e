#pragma once

#include "platform/SettingsStore.h"

#include <map>

namespace tunora::fakes {

// Settings kept in memory; counts writes so tests can see read-modify-write cycles.
class FakeSettingsStore : public SettingsStore {
  public:
    std::optional<std::vector<ArrayElement>> readArray(std::string_view key) override {
        const auto found = arrays.find(std::string(key));
        if (found == arrays.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    bool writeStringArray(std::string_view key, const std::vector<std::string>& values) override {
        ++writeCount;
        if (refuseWrites) {
            return false;
        }
        arrays[std::string(key)] = std::vector<ArrayElement>(values.begin(), values.end());
        return true;
    }

    std::optional<std::string> readString(std::string_view key) override {
        const auto found = texts.find(std::string(key));
        return found == texts.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::optional<double> readNumber(std::string_view key) override {
        const auto found = numbers.find(std::string(key));
        return found == numbers.end() ? std::nullopt : std::optional<double>(found->second);
    }
    bool writeNumber(std::string_view key, double value) override {
        ++writeCount;
        numbers[std::string(key)] = value;
        return !refuseWrites;
    }
    std::map<std::string, double> numbers;
    std::string lastWriteProblem() const override {
        return refuseWrites ? "cannot write defaults.json: disk full" : "";
    }
    bool writeString(std::string_view key, const std::string& value) override {
        ++writeCount;
        texts[std::string(key)] = value;
        return true;
    }

    bool refuseWrites = false;

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
    int writeCount = 0;
};

} // namespace tunora::fakes
