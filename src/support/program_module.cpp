#include "support/program_module.h"

static HMODULE programModule;

void SetProgramModule(HMODULE module) { programModule = module; }
HMODULE ProgramModule() { return programModule; }
