#include "output/LogCorv.h"

namespace corvane {} // namespace corvane
