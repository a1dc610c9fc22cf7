// How the application talks to the user through modal boxes: message boxes
// and the file dialogs. The frame and the dialogs go through this interface,
// so the GUI tests can record messages and answer file prompts instead of
// blocking on a modal box.
#pragma once

#include "common/user_message.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

class QWidget;

namespace quorvel::shell {

class Messages {
public:
    virtual ~Messages() = default;
    virtual void show(QWidget* parent, const UserMessage& message) = 0;
    // A message with Retry and Cancel; true for Retry.
    virtual bool askRetry(QWidget* parent, const UserMessage& message) = 0;
    // A question with Yes, No and Cancel.
    enum class Answer { Yes, No, Cancel };
    virtual Answer askYesNoCancel(QWidget* parent, const UserMessage& message) = 0;
    // An existing file to open; empty when the user cancels. `filters` are
    // Qt name filters ("Intel Hex Files *.Hex (*.HEX *.hex)").
    // With `allowNew` the name of a file that does not exist is taken too,
    // after the user agreed to create it.
    virtual QString openFileName(QWidget* parent, const QString& title,
                                 const QStringList& filters, bool allowNew = false) = 0;
    // A file to write; empty when the user cancels. Asks before replacing.
    // The dialog starts from `startFile` when one is given.
    virtual QString saveFileName(QWidget* parent, const QString& title,
                                 const QStringList& filters, const QString& defaultSuffix,
                                 const QString& startFile = {}) = 0;
};

// Modal QMessageBox and QFileDialog.
class MessageBoxes final : public Messages {
public:
    void show(QWidget* parent, const UserMessage& message) override;
    bool askRetry(QWidget* parent, const UserMessage& message) override;
    Answer askYesNoCancel(QWidget* parent, const UserMessage& message) override;
    QString openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                         bool allowNew = false) override;
    QString saveFileName(QWidget* parent, const QString& title, const QStringList& filters,
                         const QString& defaultSuffix, const QString& startFile = {}) override;
};

// Keeps every message and answers file prompts from a queue; used by tests.
class RecordedMessages final : public Messages {
public:
    void show(QWidget*, const UserMessage& message) override { shown.push_back(message); }
    bool askRetry(QWidget*, const UserMessage& message) override {
        shown.push_back(message);
        return false; // Cancel
    }
    Answer askYesNoCancel(QWidget*, const UserMessage& message) override {
        shown.push_back(message);
        if (answers.empty()) return Answer::Cancel;
        Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString openFileName(QWidget*, const QString& title, const QStringList&, bool = false) override {
        prompts.push_back(title);
        return next();
    }
    QString saveFileName(QWidget*, const QString& title, const QStringList&, const QString& defaultSuffix,
                         const QString& startFile = {}) override {
        prompts.push_back(title);
        startFiles.push_back(startFile);
        suffixes.push_back(defaultSuffix);
        return next();
    }
    std::vector<UserMessage> shown;
    std::deque<QString> fileAnswers; // empty answer = Cancel
    std::deque<Answer> answers;      // to Yes/No/Cancel questions; none left = Cancel
    QStringList prompts;
    QStringList startFiles; // where each save prompt started
    QStringList suffixes;   // the extension each save prompt adds to a bare name

private:
    QString next() {
        if (fileAnswers.empty()) return {};
        QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};

} // namespace quorvel::shell
