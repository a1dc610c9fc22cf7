// The "Run Assembler" dialog: the assembler's path with a "&Browse" button
// and the six option check boxes. "R&un" accepts it (an empty path gets a
// message and keeps the dialog open), "&Cancel" leaves everything as it was.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>

class QCheckBox;
class QLineEdit;

namespace quorvel::shell {

class Messages;

class RunAssemblerDialog : public QDialog {
    Q_OBJECT
public:
    RunAssemblerDialog(const QString& path, uint8_t options, Messages& messages,
                       QWidget* parent = nullptr);
    QString path() const;
    uint8_t options() const;

private:
    void browse();
    void run();

    Messages& messages_;
    QLineEdit* path_;
    std::array<QCheckBox*, 6> options_{};
};

} // namespace quorvel::shell
