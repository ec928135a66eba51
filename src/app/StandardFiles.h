// A program started with standard input, output or error closed (as some supervisors start
// them) would hand those numbers to the first descriptors it opens: a socket or file of its own
// would then receive its log lines, or be read where input was expected.
#pragma once

namespace corvane {

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null. Called first thing in main().
void OpenMissingStandardFiles();

} // namespace corvane
