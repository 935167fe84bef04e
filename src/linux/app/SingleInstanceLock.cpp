#include "linux/app/SingleInstanceLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace tunora {

SingleInstanceLock::SingleInstanceLock(const std::filesystem::path& folder) {
    const auto file = folder / "instance.lock";
    fd_.reset(::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd_) {
        acquired_ = true; // no place for a lock: run rather than refuse to start
        return;
    }
    acquired_ = ::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

} // namespace tunora
