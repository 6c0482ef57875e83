// The import and export commands: the open-file dialog, DoImport, and the message boxes that tell the
// user how it went.
#include <optional>

#include "shell/clsPlugin.h"
#include "shell/component_state.h"
#include "shell/err_handler.h"
#include "tessavo/user_interface.h"

namespace imp_kzv {
namespace {

// The hidden form that carries the open-file dialog: one per host thread, created on first use and
// kept until the thread ends.
class Form1 {
  public:
    static constexpr const char* kFilter = "KZV|*.KZV;";

    // The full path the user chose, or empty after a cancel or any failure of the dialog.
    std::string GetOpenedfile() noexcept {
        try {
            std::string path;
            const tessavo::Status status = tessavo::CurrentUserInterface().OpenFileDialog(kFilter, path);
            return status.ok() ? path : std::string();
        } catch (...) {
            return std::string();
        }
    }
};

Form1& TheForm() {
    thread_local std::optional<Form1> form;
    if (!form) form.emplace();
    return *form;
}

const std::string& CompletionMessage(int n) {
    return Component().completion_messages[n - 1];
}

}  // namespace

// The message box is a platform service that the plug-in's own code calls: its failure keeps the
// service's number and description and carries the plug-in's source, "Imp_KZV.clsPlugin".
void clsPlugin::ShowMessage(const std::string& text, tessavo::MessageIcon icon) {
    tessavo::Status status =
        tessavo::CurrentUserInterface().MessageBox(text, icon, Component().application_title);
    if (!status.ok())
        throw PluginError(ErrorValue{status.number, std::move(status.description), class_source(kClassName)});
}

void clsPlugin::ShowImportOutcome(bool imported) {
    if (imported)
        ShowMessage(CompletionMessage(1), tessavo::MessageIcon::Information);
    else
        ShowMessage("Import Failed!", tessavo::MessageIcon::Exclamation);
}

// Import has no handler of its own: an error outside DoImport is the failure of the host's call.
clsPlugin::Status clsPlugin::IPlug_Import(std::int32_t& result) noexcept {
    result = 0;
    try {
        const std::string fileName = TheForm().GetOpenedfile();
        if (fileName.empty()) return {};
        ShowImportOutcome(DoImport(fileName));
        return {};
    } catch (...) {
        return ToStatus(CurrentError(class_source(kClassName)));
    }
}

clsPlugin::Status clsPlugin::ImportScene(const std::string& fileName,
                                         std::span<const std::byte> sceneBytes) noexcept {
    try {
        ShowImportOutcome(DoImport(fileName, sceneBytes));
        return {};
    } catch (...) {
        return ToStatus(CurrentError(class_source(kClassName)));
    }
}

// Export declares nothing to export: it shows the dialog and its completion message and ignores
// every error on the way.
clsPlugin::Status clsPlugin::IPlug_Export(std::int32_t& result) noexcept {
    result = 0;
    try {
        (void)TheForm().GetOpenedfile();
    } catch (...) {
    }
    try {
        ShowMessage(CompletionMessage(2), tessavo::MessageIcon::Information);
    } catch (...) {
    }
    return {};
}

}  // namespace imp_kzv
