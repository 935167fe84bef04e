#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

// The program's one way to read and write its own files safely.
namespace tunora::files {

struct ReadResult {
    enum class Status { ok, missing, unusable };
    Status status = Status::missing;
    std::string contents;
    std::string problem; // why it is unusable, for the log
};

// Reads a regular file of at most `limit` bytes. Anything else at that path (a
// FIFO, a device, a folder) is unusable and never blocks: the file is opened
// without waiting and checked before a byte is read.
ReadResult readRegularFile(const std::filesystem::path& file, std::size_t limit);

// Creates `folder` and its missing parents as 0700, whatever the umask.
bool makePrivateFolders(const std::filesystem::path& folder, std::string& problem);

// Replaces `file` with `contents`, atomically: written to "<file>.tmp-XXXXXX"
// beside it with `mode`, synced, renamed over `file`, and the folder synced.
// Temporaries of that name left behind by an earlier, interrupted write are
// removed first. Missing folders are made private. On failure `problem` names
// the file and the reason, and `file` is as it was. `written`, when given,
// receives the new file's status as it was written: a stat of `file` afterwards
// could already see someone else's file. `stillCurrent`, when given, is asked
// once the new contents are safely beside `file`, right before they replace
// it; false leaves `file` as it is and the call fails with an empty `problem`.
bool replaceFile(const std::filesystem::path& file, std::string_view contents, mode_t mode,
                 std::string& problem, struct stat* written = nullptr,
                 const std::function<bool()>& stillCurrent = {});

// The one way a file the program cannot use is set aside: renamed, beside
// itself, to "<name>.bad-<UTC time>" ("-2", "-3", ... after that when one of
// that name exists), never over another file, so its bytes stay for the
// listener. Returns where it is now; none, with the reason in `problem`, when it
// could not be moved. Whoever sets a file aside tells the listener where.
std::optional<std::filesystem::path> setAside(const std::filesystem::path& file,
                                              std::string& problem);

} // namespace tunora::files
