#include "app/AppIni.h"

namespace corvane {} // namespace corvane
