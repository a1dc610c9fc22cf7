#include "shell/editor/editor_view.h"

#include "shell/editor/assembler_run.h"
#include "shell/editor/search_dialog.h"
#include "shell/editor/source_highlighter.h"
#include "shell/frame.h"
#include "shell/messages.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvel::shell {

namespace {

constexpr const char* kCaption = "Quorvel Simulator";

const QStringList kTextFilters = {"Source Files (*.ASM) (*.asm *.ASM)",
                                  "List Files (*.LST) (*.lst *.LST)", "All Files (*.*) (*)"};

UserMessage captionMessage(const QString& text, UserMessage::Icon icon) {
    return {kCaption, text.toStdString(), icon};
}

QString fileTitle(const QString& path) {
    return path.isEmpty() ? QString("(untitled)") : QFileInfo(path).fileName();
}

// Text files are taken as UTF-16 when they start with a byte-order mark,
// else as UTF-8, else (bytes that are not UTF-8) as Latin-1.
QString decodeText(const QByteArray& bytes) {
    const auto bom = QStringConverter::encodingForData(bytes);
    if (bom == QStringConverter::Utf16LE || bom == QStringConverter::Utf16BE) {
        QStringDecoder utf16(*bom); // drops the mark
        return utf16.decode(bytes);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace

EditorView::EditorView(Frame& frame, QWidget* parent) : View(parent), frame_(frame) {
    setObjectName("EditorChild");
    setWindowTitle("Editor");
    setAttribute(Qt::WA_DeleteOnClose);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName("text");
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setTabStopDistance(8 * text_->fontMetrics().horizontalAdvance(' '));
    highlighter_ = new SourceHighlighter(text_->document());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    setFocusProxy(text_);

    auto sync = [this] {
        if (activeEditor(frame_) == this) syncEditorCommands(frame_);
    };
    connect(text_->document(), &QTextDocument::modificationChanged, this, [this, sync] {
        updateTitle();
        sync();
    });
    connect(text_->document(), &QTextDocument::contentsChanged, this, [this] { discarded_ = false; });
    connect(text_, &QPlainTextEdit::copyAvailable, this, sync);
    connect(text_, &QPlainTextEdit::undoAvailable, this, sync);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, sync);
}

EditorView::~EditorView() {
    if (searchDialog_) delete searchDialog_.data();
}

bool EditorView::loadFile(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        // A new file: an empty document under this name.
        path_ = QFileInfo(path).absoluteFilePath();
        text_->setPlainText(QString());
        text_->document()->setModified(false);
        updateTitle();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        frame_.showMessage(captionMessage(QString("Could not read file %1").arg(fileTitle(path)),
                                          UserMessage::Icon::Warning));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        frame_.showMessage(captionMessage(QString("Could not read file %1").arg(fileTitle(path)),
                                          UserMessage::Icon::Warning));
        return false;
    }
    QString text = decodeText(bytes);
    crlf_ = text.contains("\r\n");
    text.replace("\r\n", "\n");
    path_ = QFileInfo(path).absoluteFilePath();
    text_->setPlainText(text);
    text_->document()->setModified(false);
    updateTitle();
    return true;
}

bool EditorView::isModified() const { return text_->document()->isModified(); }

void EditorView::updateTitle() {
    QString title = path_.isEmpty() ? QString("Editor") : QFileInfo(path_).fileName();
    if (isModified()) title += '*';
    setWindowTitle(title);
    // A listing's address and object-code columns are not source.
    highlighter_->setListing(path_.endsWith(".lst", Qt::CaseInsensitive));
}

void EditorView::insertAtCaret(const QString& text) {
    QString lines = text;
    lines.replace("\r\n", "\n");
    QTextCursor cursor = text_->textCursor();
    cursor.beginEditBlock();
    cursor.insertText(lines);
    cursor.endEditBlock();
    text_->setTextCursor(cursor);
    text_->ensureCursorVisible();
}

void EditorView::goToLine(int line) {
    QTextBlock block = text_->document()->findBlockByNumber(std::max(0, line - 1));
    if (!block.isValid()) block = text_->document()->lastBlock();
    QTextCursor cursor(block);
    text_->setTextCursor(cursor);
    text_->centerCursor();
    text_->setFocus();
}

// ----------------------------------------------------------------- saving

bool EditorView::writeTo(const QString& path) {
    QString text = text_->toPlainText();
    if (crlf_) text.replace("\n", "\r\n");
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        const QByteArray bytes = text.toUtf8();
        ok = file.write(bytes) == bytes.size();
        ok = ok ? file.commit() : (file.cancelWriting(), false);
    }
    if (!ok) {
        frame_.showMessage(captionMessage(QString("Could not write file %1").arg(fileTitle(path)),
                                          UserMessage::Icon::Warning));
        return false;
    }
    path_ = QFileInfo(path).absoluteFilePath();
    text_->document()->setModified(false);
    updateTitle();
    return true;
}

bool EditorView::save() {
    if (path_.isEmpty()) return saveAs();
    return writeTo(path_);
}

bool EditorView::saveAs() {
    const QString path = frame_.messages().saveFileName(this, "SaveAs", kTextFilters, "asm", path_);
    if (path.isEmpty()) return false;
    return writeTo(path);
}

bool EditorView::agreeToClose() {
    if (!isModified() || discarded_) return true;
    const UserMessage question = captionMessage(
        QString("Save current changes in %1?").arg(fileTitle(path_)), UserMessage::Icon::Warning);
    switch (frame_.messages().askYesNoCancel(this, question)) {
    case Messages::Answer::Yes: return save();
    case Messages::Answer::No: discarded_ = true; return true;
    case Messages::Answer::Cancel: return false;
    }
    return false;
}

void EditorView::closeEvent(QCloseEvent* event) {
    if (!agreeToClose()) {
        event->ignore();
        return;
    }
    if (searchDialog_) searchDialog_->close();
    event->accept();
    frame_.setStatusText(0, "Ready");
}

// ----------------------------------------------------------------- search

void EditorView::notFound(int replaced) {
    const QString text = replaced > 0 ? QString("Replaced %1 occurances.").arg(replaced)
                                      : QString("The search text is not found.");
    frame_.showMessage(captionMessage(text, UserMessage::Icon::Information));
}

namespace {
QTextDocument::FindFlags findFlags(const SearchSettings& search) {
    return search.matchCase ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
}
} // namespace

bool EditorView::findNext() {
    if (search_.text.isEmpty()) return false;
    const QTextCursor found = text_->document()->find(search_.text, text_->textCursor().selectionEnd(),
                                                      findFlags(search_));
    if (found.isNull()) {
        notFound(0);
        return false;
    }
    text_->setTextCursor(found);
    return true;
}

void EditorView::replace() {
    if (search_.text.isEmpty()) return;
    QTextDocument* document = text_->document();
    QTextCursor found = document->find(search_.text, text_->textCursor().selectionStart(),
                                       findFlags(search_));
    if (found.isNull()) {
        notFound(0);
        return;
    }
    found.insertText(search_.replacement);
    const QTextCursor next = document->find(search_.text, found.position(), findFlags(search_));
    if (next.isNull()) {
        text_->setTextCursor(found);
        notFound(1);
        return;
    }
    text_->setTextCursor(next);
}

void EditorView::replaceAll() {
    if (search_.text.isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTextDocument* document = text_->document();
    int count = 0;
    QTextCursor edit(document);
    edit.beginEditBlock();
    QTextCursor found = document->find(search_.text, text_->textCursor().selectionStart(),
                                       findFlags(search_));
    while (!found.isNull()) {
        found.insertText(search_.replacement);
        ++count;
        text_->setTextCursor(found);
        found = document->find(search_.text, found.position(), findFlags(search_));
    }
    edit.endEditBlock();
    QApplication::restoreOverrideCursor();
    notFound(count);
}

void EditorView::openSearchDialog(bool replace) {
    if (searchDialog_) {
        if (searchDialog_->replaceMode() == replace) {
            searchDialog_->raise();
            searchDialog_->activateWindow();
            return;
        }
        searchDialog_->close();
    }
    // The selected word is the first thing looked for.
    const QString selected = text_->textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)) search_.text = selected;
    auto* dialog = new SearchDialog(*this, replace);
    searchDialog_ = dialog;
    // Closed (it is deleted later) or gone with the editor: the search
    // commands are free again.
    auto closed = [this, dialog] {
        if (searchDialog_ == dialog) searchDialog_ = nullptr;
        syncEditorCommands(frame_);
    };
    connect(dialog, &QDialog::finished, this, closed);
    connect(dialog, &QObject::destroyed, this, closed);
    searchDialog_->show();
    syncEditorCommands(frame_);
}

// ---------------------------------------------------------------- commands

void EditorView::command(int id) {
    switch (id) {
    case id::Undo: text_->undo(); break;
    case id::Cut: text_->cut(); break;
    case id::Copy: text_->copy(); break;
    case id::Paste: text_->paste(); break;
    case id::Delete: text_->textCursor().removeSelectedText(); break;
    case id::SelectAll: text_->selectAll(); break;
    case id::Find: openSearchDialog(false); break;
    case id::FindNext:
        if (search_.text.isEmpty())
            openSearchDialog(false);
        else
            findNext();
        break;
    case id::Replace: openSearchDialog(true); break;
    case id::SaveTextFile: save(); break;
    case id::SaveTextFileAs: saveAs(); break;
    case id::RunAssembler:
        if (runAssemblerDialog(frame_)) assemble(frame_, *this);
        break;
    case id::RunAssemblerButton:
        if (!(frame_.appConfig().assemblerOptions & kRunFromToolbar) ||
            frame_.appConfig().assemblerPath.empty())
            command(id::RunAssembler);
        else
            assemble(frame_, *this);
        break;
    case id::RunAssemblerKey: assemble(frame_, *this); break;
    default: break;
    }
}

// --------------------------------------------------------- frame functions

EditorView* activeEditor(Frame& frame) {
    QMdiSubWindow* window = frame.mdiArea()->activeSubWindow();
    return window ? qobject_cast<EditorView*>(window->widget()) : nullptr;
}

EditorView* openEditor(Frame& frame, const QString& path) {
    auto* editor = new EditorView(frame);
    if (!path.isEmpty() && !editor->loadFile(path)) {
        delete editor;
        return nullptr;
    }
    frame.addViewWindow(editor, QSize(640, 440));
    editor->textEdit()->moveCursor(QTextCursor::Start);
    syncEditorCommands(frame);
    return editor;
}

EditorView* findEditor(Frame& frame, const QString& path) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (QMdiSubWindow* window : frame.mdiArea()->subWindowList())
        if (auto* editor = qobject_cast<EditorView*>(window->widget()))
            if (!editor->path().isEmpty() && editor->path() == wanted) return editor;
    return nullptr;
}

void loadTextFileCommand(Frame& frame) {
    const QString path = frame.messages().openFileName(&frame, "Open Text File", kTextFilters, true);
    if (!path.isEmpty()) openEditor(frame, path);
}

void syncEditorCommands(Frame& frame) {
    if (frame.runControl().running()) return;
    EditorView* editor = activeEditor(frame);
    const QPlainTextEdit* text = editor ? editor->textEdit() : nullptr;
    const bool selection = text && text->textCursor().hasSelection();
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    const bool searching = editor && editor->searchDialogOpen();
    frame.setCommandEnabled(id::SaveTextFile, editor && editor->isModified());
    frame.setCommandEnabled(id::SaveTextFileAs, editor != nullptr);
    frame.setCommandEnabled(id::Undo, text && text->document()->isUndoAvailable());
    frame.setCommandEnabled(id::Cut, selection);
    frame.setCommandEnabled(id::Copy, selection);
    frame.setCommandEnabled(id::Delete, selection);
    frame.setCommandEnabled(id::Paste, text && clipboard && clipboard->hasText());
    frame.setCommandEnabled(id::SelectAll, text != nullptr);
    frame.setCommandEnabled(id::Find, editor && !searching);
    frame.setCommandEnabled(id::FindNext, editor && !searching);
    frame.setCommandEnabled(id::Replace, editor && !searching);
    frame.setCommandEnabled(id::RunAssembler, editor != nullptr);
    frame.setCommandEnabled(id::RunAssemblerButton, editor != nullptr);
}

} // namespace quorvel::shell
