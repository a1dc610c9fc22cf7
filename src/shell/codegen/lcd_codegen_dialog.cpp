#include "shell/codegen/lcd_codegen_dialog.h"

#include "shell/codegen/codegen_dialog_parts.h"
#include "shell/codegen/codegen_port_lines.h"
#include "shell/codegen/codegen_records.h"
#include "shell/codegen/generated_code_sink.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {

constexpr std::array<const char*, 10> kRoutineNames{
    "Initialization",     "Message Display", "2 Digits Display", "4 Digits Display",
    "Clear Display",      "Locate Cursor",   "Cursor On/Off",    "Display On/Off ",
    "Read One Byte From DD RAM", "Character Display"};
constexpr std::array<const char*, 4> kTypeNames{"1 Line X 16 Characters", "2 Lines X 16 Characters",
                                                "4 Lines X 16 Characters", "4 Lines X 20 Characters"};

} // namespace

LcdCodeGenDialog::LcdCodeGenDialog(Frame& frame, LcdCodeGenSettings& record, QWidget* parent)
    : QDialog(parent ? parent : &frame), frame_(frame), record_(record) {
    setObjectName("IDM_CODEGENERATION_LCD");
    setWindowTitle("Code Generation - LCD Routines");

    auto* routineBox = new QGroupBox("Routines");
    auto* grid = new QGridLayout(routineBox);
    for (int bit = 0; bit < 10; ++bit) {
        auto* box = namedCheckBox(kRoutineNames[size_t(bit)], QString("routine%1").arg(bit).toLatin1());
        routines_[size_t(bit)] = box;
        grid->addWidget(box, bit % 5, bit / 5);
        connect(box, &QCheckBox::clicked, this, [this, bit](bool on) { routineClicked(bit, on); });
    }
    auto* selectAll = namedButton("Select All", "selectAll");
    setting_ = namedButton("Setting", "setting");
    auto* routineButtons = new QHBoxLayout;
    routineButtons->addWidget(selectAll);
    routineButtons->addWidget(setting_);
    routineButtons->addStretch();

    type_ = new QComboBox;
    type_->setObjectName("lcdType");
    for (const char* name : kTypeNames) type_->addItem(name);
    const RadioPair bus = radioPair("Data Bus Width", "8 Bits", "eightBits", "4 Bits", "fourBits");
    eightBits_ = bus.first;
    fourBits_ = bus.second;
    same_ = namedCheckBox("Use Same Setting as in Simulation", "sameSetting");
    portLines_ = namedButton("Port Line Selection", "portLineSelection");
    summary_ = summaryBox();

    auto* form = new QFormLayout;
    form->addRow(fieldLabel("Select LCD:", type_), type_);
    auto* left = new QVBoxLayout;
    left->addWidget(routineBox);
    left->addLayout(routineButtons);
    left->addLayout(form);
    left->addWidget(bus.box);
    left->addWidget(same_);
    left->addWidget(portLines_);
    left->addStretch();
    generate_ = layOutWithSummary(*this, {left}, summary_);

    connect(selectAll, &QPushButton::clicked, this, [this] {
        record_.routines = 0xFFFF;
        update();
    });
    connect(setting_, &QPushButton::clicked, this, [this] {
        runLcdInitOptionsDialog(this, record_.LcdInitOptions);
    });
    connect(type_, &QComboBox::activated, this, [this](int index) {
        record_.flags = uint8_t((record_.flags & ~kLcdGenTypeMask) | index);
        update();
    });
    connect(fourBits_, &QRadioButton::toggled, this, [this](bool on) {
        setBit(record_.flags, kLcdGenFourBit, on);
        update();
    });
    connect(same_, &QCheckBox::clicked, this, [this](bool on) {
        setBit(record_.flags, kLcdGenSameAsSimulation, on);
        update();
    });
    connect(portLines_, &QPushButton::clicked, this, [this] {
        lcdCodeGenPortLines(frame_, this, record_);
        update();
    });
    update();
}

void LcdCodeGenDialog::routineClicked(int bit, bool checked) {
    record_.routines = lcdRoutineClicked(record_.routines, LcdRoutine(1u << bit), checked);
    update();
}

// Every control from the record: the routine boxes, the LCD type and bus
// (this record's, enabled, unless the simulation's settings are used), the
// summary and the buttons that depend on the routines.
void LcdCodeGenDialog::update() {
    for (int bit = 0; bit < 10; ++bit) routines_[size_t(bit)]->setChecked(record_.routines & (1u << bit));
    const bool own = !(record_.flags & kLcdGenSameAsSimulation);
    {
        QSignalBlocker blockType(type_), blockBus(fourBits_);
        type_->setCurrentIndex(record_.flags & 3);
        (record_.flags & kLcdGenFourBit ? fourBits_ : eightBits_)->setChecked(true);
    }
    same_->setChecked(!own);
    for (QWidget* w : std::initializer_list<QWidget*>{type_, eightBits_, fourBits_, portLines_}) w->setEnabled(own);
    setting_->setEnabled(record_.routines & kLcdGenInit);
    generate_->setEnabled(lcdGenerateEnabled(record_.routines));
    showSummary(summary_, lcdCodeGenSummary(record_, frame_.machine().modules.settings));
}

// A wiring the routines cannot drive is said, and the dialog stays open as
// the user filled it.
void LcdCodeGenDialog::accept() {
    if (const Validation message = checkLcdCodeGen(record_, frame_.machine().modules.settings)) {
        frame_.showMessage(*message);
        return;
    }
    QDialog::accept();
}

bool runLcdInitOptionsDialog(QWidget* parent, uint8_t& options) {
    QDialog dialog(parent);
    dialog.setObjectName("IDM_CODEGENERATION_LCD1");
    dialog.setWindowTitle("LCD Code Generation - Initialization");
    auto* clear = namedCheckBox("Clear Entire Display", "clearDisplay");
    auto* home = namedCheckBox("Return Cursor to Home Position", "returnHome");
    struct Pair {
        RadioPair radios;
        uint8_t bit;
    };
    const std::array<Pair, 5> pairs{{
        {radioPair("Cursor Move", "Decrement", "decrement", "Increment", "increment"), kLcdInitIncrement},
        {radioPair("Display Shift", "No Shift", "noShift", "Shift", "shift"), kLcdInitShift},
        {radioPair("Display", "Off", "displayOff", "On", "displayOn"), kLcdInitDisplayOn},
        {radioPair("Cursor", "Off", "cursorOff", "On", "cursorOn"), kLcdInitCursorOn},
        {radioPair("Cursor Type", "Normal", "normal", "Blinking", "blinking"), kLcdInitBlinking},
    }};
    auto show = [&](uint8_t value) {
        clear->setChecked(value & kLcdInitClear);
        home->setChecked(value & kLcdInitHome);
        for (const Pair& p : pairs) p.radios.set(value & p.bit);
    };
    show(options);
    auto* defaults = namedButton("Set Default Values", "setDefaults");
    QObject::connect(defaults, &QPushButton::clicked, &dialog, [&] { show(kLcdInitDefault); });
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(clear);
    layout->addWidget(home);
    for (const Pair& p : pairs) layout->addWidget(p.radios.box);
    layout->addWidget(defaults);
    addAcceptRow(dialog, layout);
    if (dialog.exec() != QDialog::Accepted) return false;
    uint8_t value = options & 0x80;
    setBit(value, kLcdInitClear, clear->isChecked());
    setBit(value, kLcdInitHome, home->isChecked());
    for (const Pair& p : pairs) setBit(value, p.bit, p.radios.second->isChecked());
    options = value;
    return true;
}

void generateLcdCodeCommand(Frame& frame) {
    LcdCodeGenSettings& record = codeGenRecords(frame).lcd;
    LcdCodeGenDialog dialog(frame, record);
    if (dialog.exec() != QDialog::Accepted) return;
    insertGeneratedCode(frame, generateLcdCode(record, frame.machine().modules.settings,
                                               frame.machine().selection.cycleTimeUs));
}

} // namespace quorvel::shell
