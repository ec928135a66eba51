#include "util/untToken.h"

namespace corvane {} // namespace corvane
