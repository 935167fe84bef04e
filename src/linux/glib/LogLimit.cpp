#include "linux/glib/LogLimit.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <glib.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tunora {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int linesPerMinute = 3;
// Kinds told apart within a minute; messages of further kinds count as one.
constexpr std::size_t mostKinds = 64;

struct Counts {
    std::mutex mutex; // libraries log from threads of their own too
    Clock::time_point minuteStart = Clock::now();
    std::map<std::string, int> byKind;
};

Counts& counts() {
    static auto* counts = new Counts; // the writer may run until the process ends
    return *counts;
}

std::string field(const GLogField* fields, gsize count, const char* key) {
    for (gsize i = 0; i < count; ++i) {
        if (std::strcmp(fields[i].key, key) == 0 && fields[i].value != nullptr) {
            const auto* value = static_cast<const char*>(fields[i].value);
            return fields[i].length < 0 ? std::string(value)
                                        : std::string(value, std::size_t(fields[i].length));
        }
    }
    return {};
}

// "item 12" and "item 13" are one kind of message.
std::string kindOf(const std::string& domain, const std::string& message) {
    std::string kind = domain + '\n';
    for (char c : message) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            kind += c;
        }
    }
    return kind;
}

// How many times this kind was written this minute, this one included.
int countLine(const std::string& kind) {
    Counts& all = counts();
    const std::lock_guard lock(all.mutex);
    const auto now = Clock::now();
    if (now - all.minuteStart >= std::chrono::minutes(1)) {
        all.byKind.clear();
        all.minuteStart = now;
    }
    auto found = all.byKind.find(kind);
    if (found == all.byKind.end()) {
        found = all.byKind.emplace(all.byKind.size() < mostKinds ? kind : "", 0).first;
    }
    return ++found->second;
}

// Under a session manager or a systemd unit the messages go to the journal, as
// structured entries that carry no identifier of their own: stamped here, so
// that `journalctl -t tunora` finds every one of them.
GLogWriterOutput writeIdentified(GLogLevelFlags level, const GLogField* fields, gsize count) {
    for (gsize i = 0; i < count; ++i) {
        if (std::strcmp(fields[i].key, "SYSLOG_IDENTIFIER") == 0) {
            return g_log_writer_default(level, fields, count, nullptr);
        }
    }
    std::vector<GLogField> identified(fields, fields + count);
    identified.push_back({"SYSLOG_IDENTIFIER", "tunora", -1});
    return g_log_writer_default(level, identified.data(), identified.size(), nullptr);
}

GLogWriterOutput writeLimited(GLogLevelFlags level, const GLogField* fields, gsize count,
                              gpointer) {
    const std::string domain = field(fields, count, "GLIB_DOMAIN");
    if ((level & G_LOG_FLAG_FATAL) != 0 ||
        g_log_writer_default_would_drop(level, domain.empty() ? nullptr : domain.c_str())) {
        return writeIdentified(level, fields, count);
    }
    const std::string message = field(fields, count, "MESSAGE");
    const int written = countLine(kindOf(domain, message));
    if (written <= linesPerMinute) {
        return writeIdentified(level, fields, count);
    }
    if (written > linesPerMinute + 1) {
        return G_LOG_WRITER_HANDLED;
    }
    const std::string note = message + " (repeated; more of these are left out for a minute)";
    std::vector<GLogField> noted(fields, fields + count);
    for (GLogField& each : noted) {
        if (std::strcmp(each.key, "MESSAGE") == 0) {
            each.value = note.c_str();
            each.length = -1;
        }
    }
    return writeIdentified(level, noted.data(), noted.size());
}

} // namespace

void limitRepeatedLogMessages() {
    static const bool installed = [] {
        g_log_set_writer_func(&writeLimited, nullptr, nullptr);
        return true;
    }();
    (void)installed;
}

} // namespace tunora
