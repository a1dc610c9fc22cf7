#include "shell/modules/port_grid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace quorvel::shell {

PortGrid::PortGrid(const QString& title, const QString& caption, uint32_t availableMask,
                   QWidget* parent)
    : QGroupBox(title, parent) {
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(4);
    if (!caption.isEmpty()) grid->addWidget(new QLabel(caption), 0, 0, 1, 9);
    for (int bit = 7; bit >= 0; --bit)
        grid->addWidget(new QLabel(QString::number(bit)), 1, 8 - bit, Qt::AlignHCenter);
    for (int port = 0; port < 4; ++port) {
        grid->addWidget(new QLabel(QString("Port %1").arg(port)), port + 2, 0);
        for (int bit = 7; bit >= 0; --bit) {
            auto* box = new QCheckBox;
            box->setObjectName(QString("P%1.%2").arg(port).arg(bit));
            box->setEnabled((availableMask >> (port * 8 + bit)) & 1u);
            boxes_[size_t(port * 8 + bit)] = box;
            grid->addWidget(box, port + 2, 8 - bit, Qt::AlignHCenter);
        }
    }
}

std::array<uint8_t, 4> PortGrid::value() const {
    std::array<uint8_t, 4> bytes{};
    for (int i = 0; i < 32; ++i)
        if (boxes_[size_t(i)]->isChecked()) bytes[size_t(i / 8)] |= uint8_t(1u << (i % 8));
    return bytes;
}

void PortGrid::setValue(const std::array<uint8_t, 4>& bytes) {
    for (int i = 0; i < 32; ++i) boxes_[size_t(i)]->setChecked((bytes[size_t(i / 8)] >> (i % 8)) & 1u);
}

} // namespace quorvel::shell
