#include "util/untTree.h"

namespace corvane {} // namespace corvane
