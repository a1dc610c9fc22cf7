// A message for the user: what a dialog or command reports in a message box
// (the GUI) or on standard error (the command-line runner). Core functions
// return these instead of showing anything.
#pragma once

#include <optional>
#include <string>

namespace quorvel {

struct UserMessage {
    enum class Icon { Error, Warning, Information };
    std::string title;
    std::string text;
    Icon icon = Icon::Error;

    bool operator==(const UserMessage&) const = default;
};

// The result of a validation: nothing when the input is accepted.
using Validation = std::optional<UserMessage>;

inline UserMessage errorMessage(std::string title, std::string text) {
    return {std::move(title), std::move(text), UserMessage::Icon::Error};
}

} // namespace quorvel
