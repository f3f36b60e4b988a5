// Writes a file whole or not at all: into a temporary file beside it, then a
// rename over the name. An interrupt (Ctrl-C, SIGTERM, SIGHUP) removes the
// temporary file, so no partial file is ever left under either name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Empty on success, else "<path>: <problem>". The parts are written in order.
std::string WriteFileAtomically(const std::string& path, const std::vector<const std::vector<uint8_t>*>& parts);
