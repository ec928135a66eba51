// Arbitrary bytes as a simulator script. Besides the sanitizers, it checks that a script is
// either refused with a message naming a line, or gives one step per line that is not a
// "sleep", in order, with times that never run backwards.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "Recorded.h"

using namespace corvane::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    std::string error;
    auto steps = ParseScript(in, size && (data[0] & 1), error);
    if (!steps) {
        if (error.rfind("line ", 0) != 0)
            abort();
        return 0;
    }
    size_t others = 0;
    std::istringstream again(text);
    for (std::string line; std::getline(again, line);)
        others += line.rfind("sleep ", 0) != 0;
    if (steps->size() != others)
        abort();
    double last = 0;
    for (const auto& e : *steps) {
        if (e.At < last || (e.CloseAfter != e.Pieces.empty()))
            abort();
        last = e.At;
    }
    ScriptSource source(std::move(*steps));
    for (size_t k = 0; k < others; ++k)
        if (!source.Next())
            abort();
    if (source.Next())
        abort();
    return 0;
}
