#include "linux/config/StreamOriginConfig.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Files.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tunora {
namespace {

constexpr std::uintmax_t maximumHostsFileSize = 64 * 1024;

StreamOriginOverrides everyHostOn(const StreamOrigin& origin) {
    StreamOriginOverrides overrides;
    for (const std::string& host : builtInStreamHosts()) {
        overrides.emplace(host, origin);
    }
    return overrides;
}

// Reads the whole file; none when it does not exist. Throws with a reason otherwise.
std::optional<std::string> readHostsFile(const std::filesystem::path& path) {
    files::ReadResult read = files::readRegularFile(path, maximumHostsFileSize);
    if (read.status == files::ReadResult::Status::missing) {
        return std::nullopt;
    }
    if (read.status == files::ReadResult::Status::unusable) {
        throw std::runtime_error(
            GettextStrings::translate(N_("it is not a readable file of at most 64 KiB")));
    }
    return std::move(read.contents);
}

// "line 3, column 7": where the parser stopped, as an editor counts.
std::string positionOf(const std::string& contents, std::size_t byte) {
    const std::size_t end = std::min(byte == 0 ? 0 : byte - 1, contents.size());
    const auto lineStart = contents.rfind('\n', end == 0 ? 0 : end - 1);
    const std::size_t line = 1 + std::count(contents.begin(), contents.begin() + end, '\n');
    const std::size_t column = end - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
    return fillIn(fillIn(GettextStrings::translate(N_("line {}, column {}")), std::to_string(line)),
                  std::to_string(column));
}

nlohmann::json parseJson(const std::string& contents) {
    try {
        return nlohmann::json::parse(contents);
    } catch (const nlohmann::json::parse_error& error) {
        throw std::runtime_error(fillIn(GettextStrings::translate(N_("it is not valid JSON ({})")),
                                        positionOf(contents, error.byte)));
    } catch (const nlohmann::json::exception&) {
        throw std::runtime_error(GettextStrings::translate(N_("it is not valid JSON")));
    }
}

StreamOriginOverrides parseHostsFile(const std::string& contents) {
    const nlohmann::json document = parseJson(contents);
    if (!document.is_object()) {
        throw std::runtime_error(GettextStrings::translate(
            N_("it is not a JSON object mapping built-in hosts to origins")));
    }
    const std::vector<std::string> knownHosts = builtInStreamHosts();
    StreamOriginOverrides overrides;
    for (const auto& [host, value] : document.items()) {
        if (std::find(knownHosts.begin(), knownHosts.end(), host) == knownHosts.end()) {
            throw std::runtime_error(
                fillIn(GettextStrings::translate(N_("\u201c{}\u201d is not a built-in stream host "
                                                    "(tunora --list-stations shows them)")),
                       host));
        }
        const auto origin =
            value.is_string() ? StreamOrigin::parse(value.get<std::string>()) : std::nullopt;
        if (!origin) {
            throw std::runtime_error(fillIn(
                GettextStrings::translate(
                    N_("the origin for \u201c{}\u201d is not of the form http(s)://host[:port]")),
                host));
        }
        overrides.emplace(host, *origin);
    }
    return overrides;
}

} // namespace

StreamOriginConfig loadStreamOriginConfig(const std::optional<std::string>& environmentOrigin,
                                          const std::filesystem::path& hostsFile) {
    StreamOriginConfig config;
    if (environmentOrigin) {
        if (auto origin = StreamOrigin::parse(*environmentOrigin)) {
            config.overrides = everyHostOn(*origin);
            return config;
        }
        config.problems.push_back(fillIn(
            GettextStrings::translate(N_("TUNORA_STREAM_ORIGIN=\u201c{}\u201d is ignored: it is "
                                         "not of the form http(s)://host[:port]")),
            *environmentOrigin));
    }
    try {
        if (auto contents = readHostsFile(hostsFile)) {
            config.overrides = parseHostsFile(*contents);
        }
    } catch (const std::exception& error) {
        config.problems.push_back(
            fillIn(fillIn(GettextStrings::translate(N_("{} is ignored: {}")), hostsFile.string()),
                   error.what()));
    }
    return config;
}

} // namespace tunora
