#include "app/Options.h"

namespace corvane {

const TOption* FindOption(std::string_view arg) {
    for (const TOption& option : kOptions) {
        const bool matches =
            option.Argument.empty() ? arg == option.Name : arg.starts_with(option.Name);
        if (matches)
            return &option;
    }
    return nullptr;
}

} // namespace corvane
