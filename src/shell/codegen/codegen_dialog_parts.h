// Pieces the code-generation dialogs share: named check boxes and radio
// pairs, the read-only "Summary:" box and the "Generate  Code" / "Cancel"
// row.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdint>
#include <initializer_list>
#include <string>

class QBoxLayout;
class QDialog;
class QLayout;

namespace quorvel::shell {

QCheckBox* namedCheckBox(const char* text, const char* objectName);
QRadioButton* namedRadio(const char* text, const char* objectName);

// Two radio buttons in a titled group: `second` stands for a set bit.
struct RadioPair {
    QGroupBox* box;
    QRadioButton* first;
    QRadioButton* second;
    void set(bool secondChecked) const { (secondChecked ? second : first)->setChecked(true); }
};
RadioPair radioPair(const char* title, const char* firstText, const char* firstName, const char* secondText,
                    const char* secondName);

// The read-only "Summary:" box (object name "summary").
QPlainTextEdit* summaryBox();
void showSummary(QPlainTextEdit* box, const std::string& text);

// "Generate  Code" (object name "generate", the default button, accepts
// the dialog) and "Cancel" (rejects it) added at the bottom of `layout`;
// returns "Generate  Code".
QPushButton* addGenerateRow(QDialog& dialog, QBoxLayout* layout);
// The layout most generators share: `columns` side by side, "Summary:" with
// `summary` on the right, the generate row below. Returns "Generate  Code".
QPushButton* layOutWithSummary(QDialog& dialog, std::initializer_list<QLayout*> columns,
                               QPlainTextEdit* summary);

inline void setBit(uint8_t& byte, uint8_t bit, bool on) {
    byte = on ? uint8_t(byte | bit) : uint8_t(byte & ~bit);
}

} // namespace quorvel::shell
