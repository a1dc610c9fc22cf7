#include "shell/modules/led_dialogs.h"

#include "modules/module_settings.h"
#include "shell/command_table.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"
#include "shell/modules/port_grid.h"
#include "shell/modules/port_line_dialog.h"
#include "shell/view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

void refreshLedWindow(Frame& frame) {
    if (View* view = frame.view(id::LedWindow)) view->refreshView();
}

// A group of two radio buttons standing for one bit of `LedOptions` (the
// second button sets it).
struct OptionPair {
    QGroupBox* box;
    QButtonGroup* buttons;
};

OptionPair optionPair(QWidget* owner, const char* title, const char* first, const char* firstName,
                      const char* second, const char* secondName, bool secondChosen) {
    auto* box = new QGroupBox(title);
    auto* a = new QRadioButton(first);
    auto* b = new QRadioButton(second);
    a->setObjectName(firstName);
    b->setObjectName(secondName);
    auto* group = new QButtonGroup(owner);
    group->addButton(a, 0);
    group->addButton(b, 1);
    (secondChosen ? b : a)->setChecked(true);
    auto* row = new QHBoxLayout(box);
    row->addWidget(a);
    row->addWidget(b);
    return {box, group};
}

class LedSettingDialog : public QDialog {
public:
    explicit LedSettingDialog(Frame& frame) : QDialog(&frame), frame_(frame) {
        setObjectName("IDM_LEDMODULESETTING");
        setWindowTitle("LED Module Setting");
        Machine& m = frame_.machine();
        frame_.runControl().edit([&] { cleanLedSettings(m.modules.settings, m.profile.availablePinMask); });
        opened_ = m.modules.settings;
        const ModuleSettings& s = opened_;
        const uint32_t mask = m.profile.availablePinMask;

        // Group "LED".
        leds_ = new PortGrid("Select Port Lines", "Check the checkbox to Connect an LED", mask);
        leds_->setObjectName("ledLines");
        leds_->setValue(s.LedConnected);
        levels_ = new PortGrid("Activating Levels", "Check the checkbox to activate the LED at level 1", mask);
        levels_->setObjectName("ledLevels");
        levels_->setValue(s.LedActiveHigh);
        const OptionPair pointColour = optionPair(this, "LED Color", "Red", "pointRed", "Green", "pointGreen",
                                                  s.LedOptions & kLedPointGreen);
        auto* ledGroup = new QGroupBox("LED");
        auto* ledLayout = new QVBoxLayout(ledGroup);
        ledLayout->addWidget(leds_);
        ledLayout->addWidget(levels_);
        ledLayout->addWidget(pointColour.box);
        bindBit(pointColour.buttons, kLedPointGreen);

        // Group "Seven Segment Display".
        const OptionPair interface = optionPair(this, "Interface Selection", "Non-Multiplexed", "nonMultiplexed",
                                                "Multiplexed", "multiplexed", !(s.LedOptions & kLedNonMultiplexed));
        const OptionPair colour = optionPair(this, "Display Color", "Red", "digitRed", "Green", "digitGreen",
                                             s.LedOptions & kLedDigitGreen);
        const OptionPair type = optionPair(this, "Display Type", "Common Anode", "commonAnode", "Common Cathode",
                                           "commonCathode", s.LedOptions & kLedCommonCathode);
        const OptionPair input = optionPair(this, "Data Input Selection", "7 Segment", "segmentInput", "BCD",
                                            "bcdInput", s.LedOptions & kLedBcd);
        // "Multiplexed" is the second button but clears the bit.
        connect(interface.buttons, &QButtonGroup::idClicked, this, [this](int id) {
            change([id](ModuleSettings& st) {
                st.LedOptions = id == 1 ? st.LedOptions & ~kLedNonMultiplexed : st.LedOptions | kLedNonMultiplexed;
            });
        });
        bindBit(colour.buttons, kLedDigitGreen);
        bindBit(type.buttons, kLedCommonCathode);
        bindBit(input.buttons, kLedBcd);

        multiplexer_ = new QGroupBox("Multiplexer Options");
        external_ = new QCheckBox("External Multiplexer");
        external_->setObjectName("externalMux");
        external_->setChecked(s.LedOptions & kLedExternalMux);
        decoder_ = new QComboBox;
        decoder_->setObjectName("decoder");
        decoder_->addItems({"2 to 4", "3 to 8", "4 to 16"});
        decoder_->setCurrentIndex(ledDecoder(s.LedOptions));
        const OptionPair level = optionPair(this, "Activating Level - Internal Multiplexer", "0", "selectLevel0",
                                            "1", "selectLevel1", s.LedSelectLevel & 1);
        levelBox_ = level.box;
        auto* muxLayout = new QFormLayout(multiplexer_);
        muxLayout->addRow(external_);
        muxLayout->addRow(fieldLabel("Select Multiplexer:", decoder_), decoder_);
        muxLayout->addRow(levelBox_);
        connect(external_, &QCheckBox::toggled, this, [this](bool on) {
            change([on](ModuleSettings& st) {
                st.LedOptions = on ? st.LedOptions | kLedExternalMux : st.LedOptions & ~kLedExternalMux;
            });
        });
        connect(decoder_, &QComboBox::activated, this, [this](int index) {
            change([index](ModuleSettings& st) {
                st.LedOptions = uint8_t((st.LedOptions & ~kLedDecoderMask) | (index << kLedDecoderShift));
            });
        });
        connect(level.buttons, &QButtonGroup::idClicked, this, [this](int id) {
            change([id](ModuleSettings& st) { st.LedSelectLevel = uint8_t(id); });
        });

        noDisplay_ = new QCheckBox("No Seven Segment Display");
        noDisplay_->setObjectName("noSevenSegment");
        noDisplay_->setChecked(!(s.LedSevenSegment & 1));
        connect(noDisplay_, &QCheckBox::toggled, this, [this](bool none) {
            change([none](ModuleSettings& st) { st.LedSevenSegment = none ? 0 : 1; });
        });
        portLines_ = new QPushButton("Selection of Port Lines and\nNumber  of Digits");
        portLines_->setObjectName("portLines");
        connect(portLines_, &QPushButton::clicked, this, [this] { ledPortLineDialog(frame_, this); });

        displayParts_ = {interface.box, colour.box, type.box, input.box, portLines_};
        auto* digitGroup = new QGroupBox("Seven Segment Display");
        auto* digitLayout = new QGridLayout(digitGroup);
        digitLayout->addWidget(interface.box, 0, 0);
        digitLayout->addWidget(colour.box, 0, 1);
        digitLayout->addWidget(type.box, 1, 0);
        digitLayout->addWidget(input.box, 1, 1);
        digitLayout->addWidget(multiplexer_, 2, 0, 1, 2);
        digitLayout->addWidget(noDisplay_, 3, 0);
        digitLayout->addWidget(portLines_, 3, 1);
        digitLayout->setRowStretch(4, 1);

        auto* ok = namedButton("OK", "ok");
        auto* cancel = namedButton("Cancel", "cancel");
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        auto* groups = new QHBoxLayout;
        groups->addWidget(ledGroup);
        groups->addWidget(digitGroup);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(groups);
        layout->addLayout(buttonRow(ok, cancel));
        updateEnabling();
    }

    void accept() override {
        frame_.runControl().edit([&] {
            Machine& m = frame_.machine();
            m.modules.settings.LedConnected = leds_->value();
            m.modules.settings.LedActiveHigh = levels_->value();
            clampLedDigitCount(m.modules.settings, m.profile.availablePinMask);
        });
        refreshLedWindow(frame_);
        QDialog::accept();
    }

    void reject() override {
        frame_.runControl().edit([&] {
            Machine& m = frame_.machine();
            cancelLedDialog(m.modules.settings, opened_, m.profile.availablePinMask);
        });
        refreshLedWindow(frame_);
        QDialog::reject();
    }

private:
    // Applies an at-once change to the live settings, with the simulation
    // paused; the digit count follows the wiring.
    template <typename F> void change(F edit) {
        frame_.runControl().edit([&] {
            Machine& m = frame_.machine();
            edit(m.modules.settings);
            clampLedDigitCount(m.modules.settings, m.profile.availablePinMask);
        });
        updateEnabling();
    }

    void bindBit(QButtonGroup* group, uint8_t bit) {
        connect(group, &QButtonGroup::idClicked, this, [this, bit](int id) {
            change([id, bit](ModuleSettings& st) {
                st.LedOptions = id == 1 ? st.LedOptions | bit : st.LedOptions & ~bit;
            });
        });
    }

    void updateEnabling() {
        const LedDialogEnabling e = ledDialogEnabling(frame_.machine().modules.settings);
        for (QWidget* w : displayParts_) w->setEnabled(e.group);
        multiplexer_->setEnabled(e.group);
        external_->setEnabled(e.multiplexerOptions);
        decoder_->setEnabled(e.decoderList);
        levelBox_->setEnabled(e.selectLevel);
    }

    Frame& frame_;
    ModuleSettings opened_;
    PortGrid* leds_;
    PortGrid* levels_;
    QGroupBox* multiplexer_;
    QCheckBox* external_;
    QComboBox* decoder_;
    QGroupBox* levelBox_;
    QCheckBox* noDisplay_;
    QPushButton* portLines_;
    std::vector<QWidget*> displayParts_;
};

} // namespace

void ledSettingCommand(Frame& frame) {
    LedSettingDialog dialog(frame);
    dialog.exec();
}

void ledPortLineDialog(Frame& frame, QWidget* parent) {
    Machine& m = frame.machine();
    ModuleSettings& s = m.modules.settings;
    const auto savedLines = s.LedLines;
    const uint8_t savedCount = s.LedDigitCount;
    PortLineDialog::Wiring wiring{
        [&s] { return ledControlLines(s); },
        [&s](int entry) { return s.LedLines[size_t(entry)]; },
        [&s](int entry, PinRef line) { s.LedLines[size_t(entry)] = line; },
        [&s] { return ledSummaryLines(s); },
        // Cancel puts back the lines and the digit count.
        [&s, savedLines, savedCount] {
            s.LedLines = savedLines;
            s.LedDigitCount = savedCount;
        },
        true,
    };
    PortLineDialog dialog(frame, "IDM_LEDMODULESETTING1", "LED Module - Port Line Selection",
                          std::move(wiring), parent);
    auto* digits = new QComboBox;
    digits->setObjectName("digits");
    const int most = ledMaxDigits(s.LedOptions, m.profile.availablePinMask);
    for (int n = 1; n <= most; ++n) digits->addItem(QString::asprintf("%2d", n));
    digits->setCurrentIndex(std::min(int(s.LedDigitCount), most) - 1);
    auto* row = new QFormLayout;
    row->addRow(fieldLabel("No. of Digits:", digits), digits);
    dialog.extraRows()->addLayout(row);
    QObject::connect(digits, &QComboBox::activated, &dialog, [&frame, &s, &dialog](int index) {
        frame.runControl().edit([&] { s.LedDigitCount = uint8_t(index + 1); });
        dialog.reload();
    });
    dialog.exec();
    refreshLedWindow(frame);
}

} // namespace quorvel::shell
