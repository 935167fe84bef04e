#include "linux/config/StreamOriginConfig.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Files.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tunora {
namespace {

constexpr std::uintmax_t maximumHostsFileSize = 64 * 1024;

StreamAddressOverrides everyHostOn(const StreamOrigin& origin) {
    StreamAddressOverrides overrides;
    for (const std::string& host : builtInStreamHosts()) {
        overrides.hosts.emplace(host, origin);
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

StreamOrigin originFor(const std::string& host, const nlohmann::json& value) {
    const auto origin =
        value.is_string() ? StreamOrigin::parse(value.get<std::string>()) : std::nullopt;
    if (!origin) {
        throw std::runtime_error(
            fillIn(GettextStrings::translate(
                       N_("the origin for \u201c{}\u201d is not of the form http(s)://host[:port] "
                          "(a whole stream address goes under a station id)")),
                   host));
    }
    return *origin;
}

// A whole address, under the rules of an origin: http or https, a host with no
// user name or password, and a path; no fragment.
StreamUrl stationUrlFor(const std::string& id, const nlohmann::json& value) {
    std::optional<StreamUrl> url;
    if (value.is_string() &&
        value.get_ref<const std::string&>().size() <= maximumStationUrlLength) {
        url = StreamUrl::parse(value.get<std::string>());
    }
    if (!url) {
        throw std::runtime_error(
            fillIn(GettextStrings::translate(
                       N_("the address for \u201c{}\u201d is not an http(s):// address "
                          "of at most 2048 characters without a user name")),
                   id));
    }
    return *url;
}

StreamAddressOverrides parseHostsFile(const std::string& contents) {
    const nlohmann::json document = parseJson(contents);
    if (!document.is_object()) {
        throw std::runtime_error(GettextStrings::translate(
            N_("it is not a JSON object mapping built-in hosts and station ids to addresses")));
    }
    const std::vector<std::string> knownHosts = builtInStreamHosts();
    StreamAddressOverrides overrides;
    for (const auto& [key, value] : document.items()) {
        if (std::find(knownHosts.begin(), knownHosts.end(), key) != knownHosts.end()) {
            overrides.hosts.emplace(key, originFor(key, value));
        } else if (isBuiltInChannelId(key)) {
            overrides.stations.emplace(key, stationUrlFor(key, value));
        } else {
            throw std::runtime_error(fillIn(
                GettextStrings::translate(N_("\u201c{}\u201d is neither a built-in stream host nor "
                                             "a station id (tunora --list-stations shows both)")),
                key));
        }
    }
    return overrides;
}

} // namespace

StreamOriginConfig loadStreamOriginConfig(const std::optional<std::string>& environmentOrigin,
                                          const std::filesystem::path& hostsFile) {
    StreamOriginConfig config;
    config.hostsFile = hostsFile;
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
        config.hostsFileIgnored = true;
        config.problems.push_back(
            fillIn(fillIn(GettextStrings::translate(N_("{} is ignored: {}")), hostsFile.string()),
                   error.what()));
    }
    return config;
}

} // namespace tunora
