#include "driver/driver_state.h"

// Completion actions come with the program launcher; until then a run ends as
// one without a control file does, and leaves the extraction list in place.
void CompleteInstallation() { NormalExit(); }
