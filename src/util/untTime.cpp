#include "util/untTime.h"

namespace corvane {} // namespace corvane
