// A line edit for hexadecimal address and data fields: letters turn to upper
// case as they are typed and the length is limited.
#pragma once

#include <QLineEdit>

namespace quorvel::shell {

class HexEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit HexEdit(int maxLength, QWidget* parent = nullptr);
    std::string value() const { return text().toStdString(); }
};

// Upper-cases every letter typed into `edit`, keeping the cursor in place.
void makeUpperCase(QLineEdit* edit);

} // namespace quorvel::shell
