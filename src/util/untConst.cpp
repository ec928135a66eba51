#include "util/untConst.h"

namespace corvane {} // namespace corvane
