#include "support/XvfbServer.h"

#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace tunora::testing {

XvfbServer::XvfbServer() {
    // -displayfd makes Xvfb choose a free display and write its number to our
    // pipe once it accepts connections, so there is nothing to guess or poll.
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24",
                                 "-nolisten", "tcp"},
        std::map<std::string, std::string>{}, /*captureStdout=*/true);
    std::string number;
    pollfd readable{process_->stdoutFd(), POLLIN, 0};
    while (number.find('\n') == std::string::npos) {
        if (poll(&readable, 1, 10000) <= 0) {
            throw std::runtime_error("Xvfb did not start");
        }
        char buffer[16];
        const ssize_t count = read(process_->stdoutFd(), buffer, sizeof buffer);
        if (count <= 0) {
            throw std::runtime_error("Xvfb exited");
        }
        number.append(buffer, static_cast<std::size_t>(count));
    }
    display_ = ":" + number.substr(0, number.find('\n'));
}

} // namespace tunora::testing
