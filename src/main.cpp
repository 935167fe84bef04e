// Process entry: reads the command line, hands the platform's configuration to
// the core, and wires the Linux adapters to the program's logic.

#include "core/catalogue/OndoChannel.h"
#include "linux/config/StreamOriginConfig.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#ifndef TUNORA_VERSION
#error "TUNORA_VERSION must be defined by the build"
#endif

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: tunora [OPTION]\n"
           "Plays German public radio stations from the system tray.\n"
           "\n"
           "  --list-stations  print every station with its stream address and exit\n"
           "  --help           print this help and exit\n"
           "  --version        print the version and exit\n";
}

void listStations() {
    for (const tunora::OndoChannel& channel : tunora::OndoChannel::allChannels()) {
        std::cout << channel.id() << '\t' << channel.name() << '\t' << channel.network().rawValue()
                  << '\t' << channel.streamURL().toString() << '\n';
    }
}

void applyStreamOriginConfig() {
    const tunora::StreamOriginConfig config = tunora::loadStreamOriginConfigFromEnvironment();
    for (const std::string& problem : config.problems) {
        std::cerr << "tunora: " << problem << '\n';
    }
    tunora::OndoChannel::configureStreamOrigins(config.overrides);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        printUsage(std::cerr);
        return 2;
    }
    const char* option = argc == 2 ? argv[1] : "";
    if (std::strcmp(option, "--help") == 0) {
        printUsage(std::cout);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0) {
        std::cout << "tunora " << TUNORA_VERSION << '\n';
        return 0;
    }
    applyStreamOriginConfig();
    if (std::strcmp(option, "--list-stations") == 0) {
        listStations();
        return 0;
    }
    if (option[0] != '\0') {
        std::cerr << "tunora: unknown option " << option << '\n';
        printUsage(std::cerr);
        return 2;
    }
    std::cerr << "tunora: the tray application is not built yet; try --list-stations\n";
    return 1;
}
