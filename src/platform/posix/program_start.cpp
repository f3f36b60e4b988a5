#include "platform/platform.h"

std::vector<std::string> StartProgram(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }
