#include "output/CsvExport.h"

namespace corvane {} // namespace corvane
