#include "support/XvfbServer.h"

namespace tunora::testing {

XvfbServer::XvfbServer() {
    // -displayfd makes Xvfb choose a free display and write its number to our
    // pipe once it accepts connections, so there is nothing to guess or poll.
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24",
                                 "-nolisten", "tcp"},
        std::map<std::string, std::string>{}, /*captureStdout=*/true);
    display_ = ":" + process_->readLine(std::chrono::seconds(10));
}

} // namespace tunora::testing
