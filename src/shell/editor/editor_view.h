// The source editor: one MDI window per text file (several at once), a
// plain-text editor with keyword colouring, the Edit and Search commands,
// saving (atomic: a failed save leaves the old file as it was) and the
// "save changes?" question when a window with unsaved text closes. While an
// editor is active the frame shows the editor menu bar; the Edit, Search,
// Save Text File and Run Assembler commands of that menu reach the active
// editor through `command`.
//
// Threads: user-interface thread only. The editor never touches the machine;
// the assembler run loads its HEX file through the frame.
#pragma once

#include "shell/view.h"

#include <QPointer>
#include <QString>

class QPlainTextEdit;

namespace quorvel::shell {

class Frame;
class SearchDialog;
class SourceHighlighter;

// What Find and Replace look for, shared by the two dialogs of one editor.
struct SearchSettings {
    QString text;
    QString replacement;
    bool matchCase = false;
};

class EditorView : public View {
    Q_OBJECT
public:
    explicit EditorView(Frame& frame, QWidget* parent = nullptr);
    ~EditorView() override;

    // Reads `path` into the editor. A file that does not exist opens as a
    // new, empty document under that name; a file that exists but cannot be
    // read is refused (message, false).
    bool loadFile(const QString& path);

    void refreshView() override {}
    int viewCommand() const override { return 0; }
    void command(int id) override;
    MenuBarKind menuBarKind() const override { return MenuBarKind::Editor; }

    // Inserts `text` at the caret (replacing the selection), as one undo
    // step; the caret ends after it. Used by the code generators.
    void insertAtCaret(const QString& text);

    // Saves to the current path (Save As when there is none). False when the
    // save failed (the message is shown) or Save As was cancelled.
    bool save();
    bool saveAs();

    // Puts the caret at the start of `line` (from 1) and shows it.
    void goToLine(int line);

    // Search in the text, forward to its end, as the Find and Replace
    // dialogs do. Each shows its message when nothing (more) is found.
    bool findNext();
    void replace();
    void replaceAll();
    SearchSettings& search() { return search_; }

    const QString& path() const { return path_; }
    bool isModified() const;
    // Asks about unsaved changes: Yes saves, No lets the text go (closing
    // will not ask again), Cancel keeps it. False when the editor is to stay.
    bool agreeToClose();
    QPlainTextEdit* textEdit() const { return text_; }
    // A Find or Replace dialog of this editor is open.
    bool searchDialogOpen() const { return !searchDialog_.isNull(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateTitle();
    void openSearchDialog(bool replace);
    bool writeTo(const QString& path);
    void notFound(int replaced);

    Frame& frame_;
    QPlainTextEdit* text_;
    SourceHighlighter* highlighter_;
    QString path_;
    bool crlf_ = false; // the file had CR LF line ends: saved with them again
    SearchSettings search_;
    QPointer<SearchDialog> searchDialog_;
    bool discarded_ = false; // "No" to saving, until the text changes again
};

// The active editor window, or null when the active window is another view
// (or none).
EditorView* activeEditor(Frame& frame);

// A new editor window on `path` (empty: an untitled document); null when the
// file exists but cannot be read.
EditorView* openEditor(Frame& frame, const QString& path);

// The open editor window on `path`, or null.
EditorView* findEditor(Frame& frame, const QString& path);

// "Load Text File": the open-text-file dialog, then a new editor window.
void loadTextFileCommand(Frame& frame);

// Sets the editor commands' menu items and toolbar buttons for the active
// window: Save when its text is modified, Cut and Copy with a selection,
// Undo when there is something to undo, and so on; all off when no editor
// is active. Left alone while a program runs (the run grays them).
void syncEditorCommands(Frame& frame);

} // namespace quorvel::shell
