#include "app/PacketLine.h"

namespace corvane {} // namespace corvane
