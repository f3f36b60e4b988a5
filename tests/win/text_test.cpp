// Text operations as the stub compiles them.
#include "../common/text_cases.h"
