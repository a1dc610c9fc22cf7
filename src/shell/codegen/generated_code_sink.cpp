#include "shell/codegen/generated_code_sink.h"

#include "shell/editor/editor_view.h"
#include "shell/frame.h"

namespace quorvel::shell {

namespace {

std::function<void(const QString&)>& hook() {
    static std::function<void(const QString&)> h;
    return h;
}

} // namespace

void setGeneratedCodeHook(std::function<void(const QString&)> h) { hook() = std::move(h); }

void insertGeneratedCode(Frame& frame, const QString& text) {
    if (hook()) {
        hook()(text);
        return;
    }
    if (EditorView* editor = activeEditor(frame)) {
        editor->insertAtCaret(text);
        return;
    }
    // The code-generation commands belong to the editor's menu; with no
    // editor open there is no caret to insert at.
    frame.showMessage({"Warning", "Open an Editor window first: the generated code is inserted at its caret.",
                       UserMessage::Icon::Warning});
}

void insertGeneratedCode(Frame& frame, const GeneratedCode& code) {
    if (!code.error.empty()) {
        frame.showMessage(errorMessage("ERROR", code.error));
        return;
    }
    if (code.text.empty()) return;
    // Templates keep CR LF line ends; the editor's document keeps plain LF.
    QString text = QString::fromLatin1(code.text.data(), qsizetype(code.text.size()));
    text.replace("\r\n", "\n");
    insertGeneratedCode(frame, text);
}

} // namespace quorvel::shell
