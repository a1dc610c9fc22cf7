#include "shell/editor/search_dialog.h"

#include "shell/editor/editor_view.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {
constexpr int kLongestSearchText = 256;
}

SearchDialog::SearchDialog(EditorView& editor, bool replace)
    : QDialog(&editor), editor_(editor), replace_(replace) {
    setObjectName(replace ? "ReplaceDialog" : "FindDialog");
    setWindowTitle(replace ? "Replace" : "Find");
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* fields = new QGridLayout;
    findText_ = new QLineEdit(editor.search().text);
    findText_->setObjectName("findText");
    findText_->setMaxLength(kLongestSearchText);
    auto* findLabel = new QLabel("Fi&nd what:");
    findLabel->setBuddy(findText_);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(findText_, 0, 1);
    if (replace) {
        replaceText_ = new QLineEdit(editor.search().replacement);
        replaceText_->setObjectName("replaceText");
        replaceText_->setMaxLength(kLongestSearchText);
        auto* replaceLabel = new QLabel("Re&place with:");
        replaceLabel->setBuddy(replaceText_);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(replaceText_, 1, 1);
    }
    matchCase_ = new QCheckBox("Match &case");
    matchCase_->setObjectName("matchCase");
    matchCase_->setChecked(editor.search().matchCase);
    fields->addWidget(matchCase_, replace ? 2 : 1, 0, 1, 2);

    auto* buttons = new QVBoxLayout;
    findNext_ = new QPushButton("&Find Next");
    findNext_->setObjectName("findNext");
    findNext_->setDefault(true);
    buttons->addWidget(findNext_);
    connect(findNext_, &QPushButton::clicked, this, [this] {
        takeSettings();
        editor_.findNext();
    });
    if (replace) {
        replaceOne_ = new QPushButton("&Replace");
        replaceOne_->setObjectName("replace");
        replaceAll_ = new QPushButton("Replace &All");
        replaceAll_->setObjectName("replaceAll");
        buttons->addWidget(replaceOne_);
        buttons->addWidget(replaceAll_);
        connect(replaceOne_, &QPushButton::clicked, this, [this] {
            takeSettings();
            editor_.replace();
        });
        connect(replaceAll_, &QPushButton::clicked, this, [this] {
            takeSettings();
            editor_.replaceAll();
        });
    }
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    connect(findText_, &QLineEdit::textChanged, this, &SearchDialog::updateButtons);
    updateButtons();
    findText_->selectAll();
}

void SearchDialog::takeSettings() {
    SearchSettings& search = editor_.search();
    search.text = findText_->text();
    if (replaceText_) search.replacement = replaceText_->text();
    search.matchCase = matchCase_->isChecked();
}

// Nothing to look for: the search buttons wait for a text.
void SearchDialog::updateButtons() {
    const bool any = !findText_->text().isEmpty();
    findNext_->setEnabled(any);
    if (replaceOne_) replaceOne_->setEnabled(any);
    if (replaceAll_) replaceAll_->setEnabled(any);
}

} // namespace quorvel::shell
