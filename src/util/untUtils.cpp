#include "util/untUtils.h"

namespace corvane {} // namespace corvane
