#include "shell/codegen/codegen_dialog_parts.h"

#include "shell/dialog_parts.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace quorvel::shell {

QCheckBox* namedCheckBox(const char* text, const char* objectName) {
    auto* box = new QCheckBox(text);
    box->setObjectName(objectName);
    return box;
}

QRadioButton* namedRadio(const char* text, const char* objectName) {
    auto* radio = new QRadioButton(text);
    radio->setObjectName(objectName);
    return radio;
}

RadioPair radioPair(const char* title, const char* firstText, const char* firstName, const char* secondText,
                    const char* secondName) {
    RadioPair pair{new QGroupBox(title), namedRadio(firstText, firstName), namedRadio(secondText, secondName)};
    auto* row = new QHBoxLayout(pair.box);
    row->addWidget(pair.first);
    row->addWidget(pair.second);
    return pair;
}

QPlainTextEdit* summaryBox() {
    auto* box = new QPlainTextEdit;
    box->setObjectName("summary");
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font("Monospace");
    font.setStyleHint(QFont::TypeWriter);
    box->setFont(font);
    box->setMinimumSize(300, 180);
    return box;
}

void showSummary(QPlainTextEdit* box, const std::string& text) {
    QString shown = QString::fromLatin1(text.data(), qsizetype(text.size()));
    shown.replace("\r\n", "\n");
    if (box->toPlainText() != shown) box->setPlainText(shown);
}

QPushButton* addGenerateRow(QDialog& dialog, QBoxLayout* layout) {
    return addAcceptRow(dialog, layout, "Generate  Code", "generate");
}

QPushButton* layOutWithSummary(QDialog& dialog, std::initializer_list<QLayout*> columns,
                               QPlainTextEdit* summary) {
    auto* row = new QHBoxLayout;
    for (QLayout* column : columns) row->addLayout(column);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel("Summary:"));
    right->addWidget(summary);
    row->addLayout(right);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(row);
    return addGenerateRow(dialog, layout);
}

} // namespace quorvel::shell
