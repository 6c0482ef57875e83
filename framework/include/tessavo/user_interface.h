// The user interface service: the platform's open-file dialog and modal message box.
//
// The current service belongs to the calling thread. Every thread starts with the terminal service
// (prompts on stderr, answers from stdin); a host installs its own with SetUserInterface or, for a
// limited scope, with ScopedUserInterface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tessavo/object.h"
#include "tessavo/status.h"

namespace tessavo {

enum class MessageIcon : std::int32_t {
    None = 0,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};

// "information", "exclamation", "critical", "question", "none"; unknown values as their number.
std::string MessageIconName(MessageIcon icon);

class IUserInterface : public IObject {
  public:
    static constexpr char kInterfaceId[] = "{3B51A40D-DAB2-4F97-96B8-5AC2D285B7E6}";

    // Lets the user choose one existing file to open. filter has the form "Description|pattern;...".
    // path receives the full path of the chosen file, or an empty text when the user cancels.
    virtual Status OpenFileDialog(const std::string& filter, std::string& path) noexcept = 0;
    // Shows text with an OK button and waits until the user closes it.
    virtual Status MessageBox(const std::string& text, MessageIcon icon,
                              const std::string& title) noexcept = 0;

  protected:
    ~IUserInterface() = default;
};

// The calling thread's current service. The reference stays valid while it is current.
IUserInterface& CurrentUserInterface() noexcept;

// Makes ui the calling thread's service (a counted reference is kept); null restores the terminal
// service. Returns the service that was current before, or null if that was the terminal one.
Ref<IUserInterface> SetUserInterface(IUserInterface* ui) noexcept;

// Installs a service for the lifetime of the guard and then restores the previous one.
class ScopedUserInterface {
  public:
    explicit ScopedUserInterface(IUserInterface* ui) noexcept : previous_(SetUserInterface(ui)) {}
    ~ScopedUserInterface() { SetUserInterface(previous_.get()); }
    ScopedUserInterface(const ScopedUserInterface&) = delete;
    ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;

  private:
    Ref<IUserInterface> previous_;
};

}  // namespace tessavo
