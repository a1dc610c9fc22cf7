// The editor's modeless Find and Replace dialogs: the text to find (and the
// replacement), "Match case", and the buttons that search forward from the
// selection to the end of the text. The settings live in the editor, so the
// next Find Next (F3) searches again with them.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quorvel::shell {

class EditorView;

class SearchDialog : public QDialog {
    Q_OBJECT
public:
    SearchDialog(EditorView& editor, bool replace);
    bool replaceMode() const { return replace_; }

private:
    void takeSettings();
    void updateButtons();

    EditorView& editor_;
    bool replace_;
    QLineEdit* findText_;
    QLineEdit* replaceText_ = nullptr;
    QCheckBox* matchCase_;
    QPushButton* findNext_;
    QPushButton* replaceOne_ = nullptr;
    QPushButton* replaceAll_ = nullptr;
};

} // namespace quorvel::shell
