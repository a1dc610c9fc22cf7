#include "shell/modules/io_window.h"

#include "shell/clear_view_tiles.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/view_table.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

QString pinName(int index) { return QString("P%1.%2").arg(index >> 3).arg(index & 7); }


} // namespace

IoWindow::IoWindow(ViewContext& context)
    : PartWindow(context, "                  Input/Output Levels                     ", 15) {
    setObjectName("MdiIOChild");
    setWindowTitle("Input/Output Levels");
    layout_ = ioLayout(context.machine().selection);

    auto* content = new QWidget;
    content->setObjectName("ioContent");
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(4, 0, 4, 4);
    rows->setSpacing(4);
    for (int port : ioPorts(layout_)) rows->addWidget(portGroup(port));
    auto* bottom = new QHBoxLayout;
    if (layout_ == IoLayout::TwentyPin) bottom->addWidget(comparatorGroup(), 0, Qt::AlignTop);
    bottom->addWidget(pulseGroup(), 0, Qt::AlignTop);
    bottom->addStretch();
    rows->addLayout(bottom);
    rows->addStretch();

    // The window scrolls when it is smaller than its content.
    auto* scroll = new QScrollArea;
    scroll->setObjectName("ioScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, topMargin(kTopMargin), 0, 0);
    outer->addWidget(scroll);

    // The level bits are made to agree with the settings the window shows.
    auto guard = context.runControl().pause();
    Machine& machine = context.machine();
    context.runControl().edit(
        [&] { ioWindowOpened(machine.chip.pins, machine.modules.comparator, machine.selection.kind); });
    latchTracker_.start(machine.chip.portLatches());
}

QWidget* IoWindow::portGroup(int port) {
    const DeviceSelection& selection = context_.machine().selection;
    const uint32_t pins = ioPins(layout_);
    auto* group = new QGroupBox(QString("Port %1").arg(port));
    group->setObjectName(QString("port%1").arg(port));
    auto* inputs = new QGroupBox("Input Levels");
    auto* inputGrid = new QGridLayout(inputs);
    inputGrid->setContentsMargins(6, 2, 6, 4);
    inputGrid->setHorizontalSpacing(4);
    inputGrid->setVerticalSpacing(1);
    auto* latches = new QGroupBox("Output Latch Levels");
    auto* latchGrid = new QGridLayout(latches);
    latchGrid->setContentsMargins(6, 2, 6, 4);
    latchGrid->setHorizontalSpacing(4);
    // Bit 7 on the left, bit 0 on the right.
    for (int bit = 7; bit >= 0; --bit) {
        const int index = port * 8 + bit;
        const int column = 7 - bit;
        inputGrid->setColumnStretch(column, 1);
        latchGrid->setColumnStretch(column, 1);
        if (!((pins >> index) & 1u)) continue; // P3.6 of the comparator devices
        auto* label = new QLabel(pinName(index));
        inputGrid->addWidget(label, 0, column);
        auto* combo = new QComboBox;
        combo->setObjectName("input" + pinName(index));
        for (const std::string& choice : ioInputChoices(selection, index))
            combo->addItem(QString::fromStdString(choice));
        label->setBuddy(combo);
        inputGrid->addWidget(combo, 1, column);
        connect(combo, &QComboBox::activated, this,
                [this, index](int choice) { inputChosen(index, choice); });
        inputs_[size_t(index)] = combo;

        auto* latch = new QLabel;
        latch->setObjectName("latch" + pinName(index));
        latchGrid->addWidget(latch, 0, column);
        latches_[size_t(index)] = latch;
    }
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(2);
    layout->addWidget(inputs);
    layout->addWidget(latches);
    return group;
}

QWidget* IoWindow::pulseGroup() {
    auto* group = new QGroupBox("Clock Pulse Inputs");
    auto* grid = new QGridLayout(group);
    const std::vector<PulseButton> buttons = ioPulseButtons(layout_);
    const int perRow = int(buttons.size() + 1) / 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const PulseButton button = buttons[i];
        auto* push = new QPushButton(pulseButtonInfo(button).caption);
        push->setObjectName(QString("pulse") + pulseButtonInfo(button).caption);
        grid->addWidget(push, int(i) / perRow, int(i) % perRow);
        connect(push, &QPushButton::clicked, this, [this, button] { pulse(button); });
        pulses_.emplace_back(button, push);
    }
    return group;
}

QWidget* IoWindow::comparatorGroup() {
    const ComparatorState& comparator = context_.machine().modules.comparator;
    auto* group = new QGroupBox("Analog Comparator");
    auto* inputs = new QGroupBox("Inputs");
    auto* grid = new QGridLayout(inputs);
    const char* names[2] = {"P1.0(+)", "P1.1(-)"};
    const int voltages[2] = {comparator.plusVoltage, comparator.minusVoltage};
    for (int input : {0, 1}) {
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setObjectName(input == 0 ? "sliderP10" : "sliderP11");
        slider->setRange(0, kComparatorMaxTenths);
        slider->setTickInterval(5);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setPageStep(5);
        slider->setMinimumWidth(110);
        slider->setValue(voltages[input]);
        auto* voltage = new QLabel(QString::fromStdString(comparatorVoltageText(voltages[input])));
        voltage->setObjectName(input == 0 ? "voltageP10" : "voltageP11");
        grid->addWidget(new QLabel(names[input]), input, 0);
        grid->addWidget(slider, input, 1);
        grid->addWidget(voltage, input, 2);
        connect(slider, &QSlider::valueChanged, this,
                [this, input](int tenths) { sliderMoved(input, tenths); });
        sliders_[size_t(input)] = slider;
        voltages_[size_t(input)] = voltage;
    }
    auto* output = new QGroupBox("Output");
    comparatorOutput_ = new QLabel;
    comparatorOutput_->setObjectName("comparatorOutput");
    (new QVBoxLayout(output))->addWidget(comparatorOutput_);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(inputs);
    layout->addWidget(output);
    return group;
}

int IoWindow::viewCommand() const { return id::IoWindow; }

QRect IoWindow::clearViewGeometry(const QSize& client) const {
    return clearViewTile(ClearViewTile::Right, client);
}

QSize IoWindow::minimumSizeHint() const {
    if (context_.viewMode() == ViewMode::Clear) return PartWindow::minimumSizeHint();
    const QSize content = findChild<QWidget*>("ioContent")->sizeHint();
    return {content.width(), content.height() + topMargin(kTopMargin)};
}

void IoWindow::showEvent(QShowEvent* event) {
    PartWindow::showEvent(event);
    growWindowToContentWhenPlaced();
}

void IoWindow::refreshView() {
    auto guard = context_.runControl().pause();
    showInputs();
    showLatches();
}

void IoWindow::moduleTick() {
    // The frame's tick holds the simulation paused.
    showLatches();
}

void IoWindow::showLatches() {
    const uint32_t latches = context_.machine().chip.portLatches();
    const uint32_t changed = latchTracker_.changed(latches, ioPins(layout_));
    if (!changed) return;
    for (int index = 0; index < 32; ++index)
        if (((changed >> index) & 1u) && latches_[size_t(index)])
            latches_[size_t(index)]->setText(
                QString::fromStdString(latchText(index, (latches >> index) & 1u)));
}

void IoWindow::showInputs() {
    const PinState& pins = context_.machine().chip.pins;
    for (int index = 0; index < 32; ++index) {
        QComboBox* combo = inputs_[size_t(index)];
        if (!combo) continue;
        const QSignalBlocker blocker(combo);
        const int setting = pins.setting[size_t(index)];
        combo->setCurrentIndex(setting < combo->count() ? setting : -1);
    }
    for (auto& [button, push] : pulses_) push->setEnabled(pulseButtonEnabled(pins, button));
    showComparator();
}

void IoWindow::showComparator() {
    if (!comparatorOutput_) return;
    const Machine& machine = context_.machine();
    const ComparatorState& comparator = machine.modules.comparator;
    const int voltages[2] = {comparator.plusVoltage, comparator.minusVoltage};
    for (int input : {0, 1}) {
        sliders_[size_t(input)]->setEnabled(comparatorSliderEnabled(machine.chip.pins, input));
        if (sliders_[size_t(input)]->value() != voltages[input]) {
            const QSignalBlocker blocker(sliders_[size_t(input)]);
            sliders_[size_t(input)]->setValue(voltages[input]);
        }
        voltages_[size_t(input)]->setText(QString::fromStdString(comparatorVoltageText(voltages[input])));
    }
    comparatorOutput_->setText(QString::fromStdString(comparatorOutputText(machine.chip.pins)));
}

void IoWindow::inputChosen(int index, int choice) {
    auto guard = context_.runControl().pause();
    Machine& machine = context_.machine();
    context_.runControl().edit([&] {
        setPinInput(machine.chip.pins, machine.modules.comparator, machine.selection, index,
                    uint8_t(choice));
    });
    showInputs();
}

void IoWindow::pulse(PulseButton button) {
    context_.runControl().edit([&] { pressPulseButton(context_.machine().chip, button); });
}

void IoWindow::sliderMoved(int input, int tenths) {
    auto guard = context_.runControl().pause();
    Machine& machine = context_.machine();
    context_.runControl().edit(
        [&] { moveComparatorSlider(machine.chip.pins, machine.modules.comparator, input, tenths); });
    showComparator();
}

View* createIoWindow(const ViewSources& sources) { return new IoWindow(sources.context); }

} // namespace quorvel::shell
