#include "conn/Conn.h"

namespace corvane {} // namespace corvane
