// "LCD Module Setting": the display size, the data bus width, the back light
// and the way to "LCD Module - Port Line Selection". The options take effect
// on OK (an open LCD window then resizes, retitles and its controller's
// flags are reset); Cancel keeps the options byte as it was. Port lines are
// assigned in the port-line dialog as it is worked, and its own Cancel puts
// them back.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QRadioButton;

namespace quorvel::shell {

class Frame;

class LcdSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit LcdSettingDialog(Frame& frame, QWidget* parent = nullptr);

    // The options byte the controls now say.
    uint8_t chosenOptions() const;

protected:
    void accept() override;

private:
    void portLineSelection();

    Frame& frame_;
    uint8_t openedOptions_;
    QComboBox* size_;
    QRadioButton* eightBits_;
    QRadioButton* fourBits_;
    QCheckBox* backLight_;
};

// The command: runs the dialog.
void runLcdSettingDialog(Frame& frame);

} // namespace quorvel::shell
