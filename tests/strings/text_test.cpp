// Text operations in the host build (the builder shares them).
#include "../common/text_cases.h"
