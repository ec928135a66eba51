#include "store/ActivityStore.h"

namespace corvane {} // namespace corvane
