// The 4 x 8 grid of check boxes the LED and keyboard settings use to pick
// port lines: rows "Port 0" to "Port 3", columns bit 7 to bit 0, with a
// caption above. Lines the device does not offer are disabled. The value is
// one byte per port, bit = line, as the settings store it.
#pragma once

#include <QGroupBox>
#include <array>
#include <cstdint>

class QCheckBox;

namespace quorvel::shell {

class PortGrid : public QGroupBox {
    Q_OBJECT
public:
    PortGrid(const QString& title, const QString& caption, uint32_t availableMask,
             QWidget* parent = nullptr);

    std::array<uint8_t, 4> value() const;
    void setValue(const std::array<uint8_t, 4>& bytes);
    // The box of port `port`, bit `bit` (object name "P<port>.<bit>").
    QCheckBox* box(int port, int bit) const { return boxes_[size_t(port * 8 + bit)]; }

private:
    std::array<QCheckBox*, 32> boxes_{};
};

} // namespace quorvel::shell
