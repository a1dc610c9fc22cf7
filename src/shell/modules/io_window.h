// The "Input/Output Levels" window (MdiIOChild): what the outside world puts
// on each port line and the output latches, in one of three layouts chosen
// by the device when the window opens (20-pin: ports 1 and 3 with the
// analog comparator; 40-pin without an external bus: ports 0 to 3; with a
// bus: ports 1 and 3). Each port group has a drop-down list per pin ("0",
// "1", "NC", and "Pulse" or "Analog" where the pin has it) and a latch text
// per pin; group "Clock Pulse Inputs" has the pulse buttons, each enabled
// while its pin is set to "Pulse".
//
// Every change (input choice, pulse, comparator slider) is made with the
// simulation paused. The module timer's tick rewrites only the latch texts
// that changed.
#pragma once

#include "modules/io_levels.h"
#include "shell/modules/part_window.h"

#include <array>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace quorvel::shell {

class IoWindow : public PartWindow {
    Q_OBJECT
public:
    explicit IoWindow(ViewContext& context);

    void refreshView() override;
    int viewCommand() const override;
    void moduleTick() override;
    QRect clearViewGeometry(const QSize& client) const override;
    // In Normal View the window shows all it holds, pulse buttons included,
    // whatever place a stored layout gives it; its Clear View tile scrolls.
    QSize minimumSizeHint() const override;

    IoLayout layout() const { return layout_; }

protected:
    int normalTopMargin() const override { return kTopMargin; }
    void showEvent(QShowEvent* event) override;

private:
    static constexpr int kTopMargin = 4;

    QWidget* portGroup(int port);
    QWidget* pulseGroup();
    QWidget* comparatorGroup();
    void inputChosen(int index, int choice);
    void pulse(PulseButton button);
    void sliderMoved(int input, int tenths);
    // The parts that follow the input settings: drop-downs, pulse buttons,
    // sliders and comparator texts. The simulation is paused by the caller.
    void showInputs();
    void showComparator();
    void showLatches();

    IoLayout layout_;
    std::array<QComboBox*, 32> inputs_{};
    std::array<QLabel*, 32> latches_{};
    std::vector<std::pair<PulseButton, QPushButton*>> pulses_;
    std::array<QSlider*, 2> sliders_{};
    std::array<QLabel*, 2> voltages_{};
    QLabel* comparatorOutput_ = nullptr;
    LatchTextTracker latchTracker_;
};

} // namespace quorvel::shell
