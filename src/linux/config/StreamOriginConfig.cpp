#include "linux/config/StreamOriginConfig.h"

#include "linux/system/Files.h"
#include "linux/system/XdgPaths.h"

#include <algorithm>
#include <cstdlib>
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
        throw std::runtime_error("not a readable file of at most 64 KiB");
    }
    return std::move(read.contents);
}

StreamOriginOverrides parseHostsFile(const std::string& contents) {
    const nlohmann::json document = nlohmann::json::parse(contents); // throws on bad JSON
    if (!document.is_object()) {
        throw std::runtime_error("expected a JSON object mapping hosts to origins");
    }
    const std::vector<std::string> knownHosts = builtInStreamHosts();
    StreamOriginOverrides overrides;
    for (const auto& [host, value] : document.items()) {
        if (std::find(knownHosts.begin(), knownHosts.end(), host) == knownHosts.end()) {
            throw std::runtime_error("\"" + host + "\" is not a built-in stream host");
        }
        const auto origin =
            value.is_string() ? StreamOrigin::parse(value.get<std::string>()) : std::nullopt;
        if (!origin) {
            throw std::runtime_error("the origin for \"" + host +
                                     "\" is not of the form http(s)://host[:port]");
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
        config.problems.push_back("TUNORA_STREAM_ORIGIN=\"" + *environmentOrigin +
                                  "\" ignored: expected http(s)://host[:port]");
    }
    try {
        if (auto contents = readHostsFile(hostsFile)) {
            config.overrides = parseHostsFile(*contents);
        }
    } catch (const std::exception& error) {
        config.problems.push_back(hostsFile.string() + " ignored: " + error.what());
    }
    return config;
}

StreamOriginConfig loadStreamOriginConfigFromEnvironment() {
    const char* variable = std::getenv("TUNORA_STREAM_ORIGIN");
    std::optional<std::string> environmentOrigin;
    if (variable != nullptr && variable[0] != '\0') {
        environmentOrigin = variable;
    }
    return loadStreamOriginConfig(environmentOrigin,
                                  xdg::configHome() / "tunora" / "stream-hosts.json");
}

} // namespace tunora
