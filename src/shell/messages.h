// How the application shows a message box. The frame and the dialogs report
// through this interface, so the GUI tests can record messages instead of
// blocking on a modal box.
#pragma once

#include "core/user_message.h"

#include <QString>
#include <vector>

class QWidget;

namespace quorvel::shell {

class Messages {
public:
    virtual ~Messages() = default;
    virtual void show(QWidget* parent, const UserMessage& message) = 0;
};

// Modal QMessageBox with the message's title, text and icon.
class MessageBoxes final : public Messages {
public:
    void show(QWidget* parent, const UserMessage& message) override;
};

// Keeps every message; used by tests.
class RecordedMessages final : public Messages {
public:
    void show(QWidget*, const UserMessage& message) override { shown.push_back(message); }
    std::vector<UserMessage> shown;
};

} // namespace quorvel::shell
