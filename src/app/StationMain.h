#pragma once

namespace kivo {

// Parses the command line; runs a support command or the station itself.
int stationMain(int argc, char *argv[]);

} // namespace kivo
