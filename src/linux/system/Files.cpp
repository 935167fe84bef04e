#include "linux/system/Files.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <vector>

namespace tunora::files {
namespace {

// "cannot write FILE: REASON", in the listener's language: it reaches them in
// notifications.
std::string describe(const std::filesystem::path& file, const char* what, int error) {
    return fillIn(fillIn(GettextStrings::translate(what), file.string()), g_strerror(error));
}

bool writeWhole(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t count = ::write(fd, contents.data(), contents.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

void syncFolder(const std::filesystem::path& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
}

// Only this program writes these names, and only one instance of it runs.
void removeStaleTemporaries(const std::filesystem::path& file) {
    const std::string prefix = file.filename().string() + ".tmp-";
    std::error_code error;
    std::vector<std::filesystem::path> stale;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), error)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            stale.push_back(entry.path());
        }
    }
    for (const auto& path : stale) {
        ::unlink(path.c_str());
    }
}

std::string utcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

} // namespace

ReadResult readRegularFile(const std::filesystem::path& file, std::size_t limit) {
    ReadResult result;
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        if (errno != ENOENT) {
            result.status = ReadResult::Status::unusable;
            result.problem = describe(file, N_("cannot open {}: {}"), errno);
        }
        return result;
    }
    result.status = ReadResult::Status::unusable;
    struct stat info{};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        result.problem =
            fillIn(GettextStrings::translate(N_("{} is not a regular file")), file.string());
        return result;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.problem = describe(file, N_("cannot read {}: {}"), errno);
            return result;
        }
        result.contents.append(buffer, static_cast<std::size_t>(count));
        if (result.contents.size() > limit) {
            result.problem = fillIn(
                fillIn(GettextStrings::translate(N_("{} is larger than {} bytes")), file.string()),
                std::to_string(limit));
            return result;
        }
    }
    result.status = ReadResult::Status::ok;
    return result;
}

bool makePrivateFolders(const std::filesystem::path& folder, std::string& problem) {
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) == 0) {
            ::chmod(partial.c_str(), 0700); // mkdir's mode passes through the umask
        } else if (errno != EEXIST) {
            problem = describe(partial, N_("cannot create {}: {}"), errno);
            return false;
        }
    }
    struct stat info{};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        problem = fillIn(GettextStrings::translate(N_("{} is not a folder")), folder.string());
        return false;
    }
    return true;
}

bool replaceFile(const std::filesystem::path& file, std::string_view contents, mode_t mode,
                 std::string& problem, struct stat* written,
                 const std::function<bool()>& stillCurrent) {
    const std::filesystem::path folder = file.parent_path();
    if (!makePrivateFolders(folder, problem)) {
        return false;
    }
    removeStaleTemporaries(file);
    std::string temporary = file.string() + ".tmp-XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC)); // O_EXCL: never through a link
    if (!fd) {
        problem = describe(file, N_("cannot write {}: {}"), errno);
        return false;
    }
    struct stat status{};
    const bool complete = ::fchmod(fd.get(), mode) == 0 && writeWhole(fd.get(), contents) &&
                          ::fsync(fd.get()) == 0 && ::fstat(fd.get(), &status) == 0;
    const int writeError = errno;
    fd.reset();
    if (complete && stillCurrent && !stillCurrent()) {
        ::unlink(temporary.c_str());
        problem.clear();
        return false;
    }
    if (!complete || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = complete ? errno : writeError;
        ::unlink(temporary.c_str());
        problem = describe(file, N_("cannot write {}: {}"), error);
        return false;
    }
    syncFolder(folder);
    if (written != nullptr) {
        *written = status; // a rename keeps the inode, size and modification time
    }
    return true;
}

std::optional<std::filesystem::path> setAside(const std::filesystem::path& file,
                                              std::string& problem) {
    const std::string base = file.string() + ".bad-" + utcTimestamp();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const std::string kept = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0) {
            return kept;
        }
        if (errno != EEXIST) {
            problem = describe(file, N_("cannot set aside {}: {}"), errno);
            return std::nullopt;
        }
    }
    problem = describe(file, N_("cannot set aside {}: {}"), EEXIST);
    return std::nullopt;
}

} // namespace tunora::files
