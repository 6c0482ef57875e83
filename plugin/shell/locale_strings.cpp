#include "shell/locale_strings.h"

#include <string_view>

#include "common/plugin_error.h"
#include "resources/string_table.h"
#include "scenecalls/scene_calls.h"
#include "shell/component_state.h"
#include "shell/err_handler.h"

namespace imp_kzv {
namespace {

constexpr std::int32_t kLcidOfSecondBlock = 407;  // decimal, as the host gives it: not 0x0407

// Loads id from the string table; a missing id raises error 326 in module-level code.
std::string LoadResourceString(std::int32_t id) {
    if (const auto text = FindString(id)) return std::string(*text);
    raise_continued(Err::ResourceNotFound, " (string id " + std::to_string(id) + ")",
                    std::string(kComponentSource));
}

}  // namespace

void SetLangBaseIndxBasedOnLCID(std::int32_t lcid) {
    Component().language_base = lcid == kLcidOfSecondBlock ? 200 : 100;
    try {
        SetAllLocaleStrings();
    } catch (...) {
        RaiseErrToCaller("Globals", "SetLangBaseIndxBasedOnLCID");
    }
}

void SetAllLocaleStrings() {
    try {
        ComponentState& state = Component();
        const std::int32_t base = state.language_base;
        state.title = LoadLocaleString(base + 1);
        state.caption = LoadLocaleString(base + 2);
        state.application_title = state.caption;
        // The completion messages are loaded directly: a missing one is an error of the whole setup.
        for (std::int32_t n = 1; n <= 2; ++n)
            state.completion_messages[n - 1] = LoadResourceString(base + 2 + n);
    } catch (...) {
        RaiseErrToCaller("Globals", "SetAllLocaleStrings");
    }
}

std::string LoadLocaleString(std::int32_t id) {
    std::string message;
    try {
        return LoadResourceString(id);
    } catch (...) {
        message = Component().caption +
                  ": Error while loading LocaleStringResource: " + CurrentError(kComponentSource).description;
    }
    std::int32_t kind = tessavo::kMessageError;
    SceneCalls(kComponentSource).ReportMessage(message, kind);
    return std::string();
}

}  // namespace imp_kzv
