#include "app/Monitor.h"

namespace corvane {} // namespace corvane
