// The "Serial Peripheral Interface" window (MdiSPIChild): the outside
// partner of the chip's SPI unit. The chip's side lists the bytes the chip
// sent ("SPDR(Tr):") and received ("SPDR(Rr):"); the external side holds the
// byte it returns or sends ("SPDR(Tr):", a two-digit hex field with "Set" or
// "Send") and the last byte it received. Captions follow MSTR: the window
// re-reads them when the program writes SPCR and when the views refresh.
//
// In the Clear View arrangement the window is a captionless tile with its
// title painted on the first row (white on navy while it has the focus, on
// grey otherwise) and its controls 10 pixels lower.
#include "modules/spi_window.h"
#include "shell/clear_view_tiles.h"
#include "shell/clear_view_title.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/modules/chip_notices.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace quorvel::shell {

namespace {

QListWidget* transferList(const char* objectName) {
    auto* list = new QListWidget;
    list->setObjectName(objectName);
    list->setFont(listFont());
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    return list;
}

// Shows the entries of a "\r\n"-separated list text, scrolled to the end.
void showList(QListWidget* list, const std::string& text) {
    const QStringList entries =
        text.empty() ? QStringList() : QString::fromLatin1(text).split("\r\n");
    bool same = list->count() == entries.size();
    for (int i = 0; same && i < entries.size(); ++i) same = list->item(i)->text() == entries[i];
    if (same) return;
    list->clear();
    list->addItems(entries);
    list->scrollToBottom();
}

class SpiInterfaceWindow : public View {
public:
    SpiInterfaceWindow(ViewContext& context, ChipNotices& notices)
        : context_(context), clear_(context.viewMode() == ViewMode::Clear) {
        setObjectName("MdiSPIChild");
        setWindowTitle(kSpiWindowTitle);

        chipSide_ = new QGroupBox;
        chipSide_->setObjectName("chipSide");
        chipTransmit_ = transferList("chipTransmit");
        chipReceive_ = transferList("chipReceive");
        auto* chipGrid = new QGridLayout(chipSide_);
        chipGrid->addWidget(new QLabel("SPDR(Tr):"), 0, 0);
        chipGrid->addWidget(new QLabel("SPDR(Rr):"), 0, 1);
        chipGrid->addWidget(chipTransmit_, 1, 0);
        chipGrid->addWidget(chipReceive_, 1, 1);

        externalSide_ = new QGroupBox;
        externalSide_->setObjectName("externalSide");
        externalTransmit_ = new QLineEdit;
        externalTransmit_->setObjectName("externalTransmit");
        externalTransmit_->setMaxLength(2);
        externalTransmit_->setMaximumWidth(5 * fontMetrics().horizontalAdvance('W'));
        button_ = new QPushButton;
        button_->setObjectName("setSend");
        externalReceive_ = new QLabel;
        externalReceive_->setObjectName("externalReceive");
        auto* externalGrid = new QGridLayout(externalSide_);
        externalGrid->addWidget(new QLabel("SPDR(Tr):"), 0, 0);
        externalGrid->addWidget(externalTransmit_, 0, 1);
        externalGrid->addWidget(button_, 1, 1);
        externalGrid->addWidget(new QLabel("SPDR(Rr):"), 2, 0);
        externalGrid->addWidget(externalReceive_, 2, 1);
        externalGrid->setRowStretch(3, 1);

        auto* layout = new QHBoxLayout(this);
        layout->addWidget(chipSide_, 3);
        layout->addWidget(externalSide_, 2);
        if (clear_) {
            QMargins margins = layout->contentsMargins();
            margins.setTop(std::max(margins.top(), titleHeight()) + 10);
            layout->setContentsMargins(margins);
        }

        connect(externalTransmit_, &QLineEdit::textEdited, this, [this] { button_->setEnabled(true); });
        connect(externalTransmit_, &QLineEdit::returnPressed, button_, &QPushButton::click);
        connect(button_, &QPushButton::clicked, this, [this] { pressButton(); });
        connect(&notices, &ChipNotices::spcrChanged, this, [this] { spcrWritten(); });
        connect(qApp, &QApplication::focusChanged, this, [this] {
            if (clear_) update(titleRect());
        });
        titleTimer_.setSingleShot(true);
        titleTimer_.setInterval(10);
        connect(&titleTimer_, &QTimer::timeout, this, [this] { update(titleRect()); });

        {
            auto guard = context_.runControl().pause();
            externalTransmit_->setText(QString::fromStdString(spiWindowView(context_.machine().chip).externalTransmit));
        }
        resize(520, 300);
    }

    void refreshView() override {
        SpiWindowView shown{};
        {
            auto guard = context_.runControl().pause();
            shown = spiWindowView(context_.machine().chip);
        }
        showCaptions(shown);
        showList(chipTransmit_, shown.chipTransmitList);
        showList(chipReceive_, shown.chipReceiveList);
        externalReceive_->setText(QString::fromStdString(shown.externalReceive));
    }

    int viewCommand() const override { return id::SpiWindow; }

    QRect clearViewGeometry(const QSize& client) const override {
        return clearViewTile(ClearViewTile::BottomLeft, client);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        View::paintEvent(event);
        if (!clear_) return;
        QPainter painter(this);
        const bool focused = isAncestorOf(QApplication::focusWidget()) || hasFocus();
        painter.setFont(textViewFont());
        paintClearViewTitle(painter, titleRect(), QString::fromLatin1(kSpiWindowClearViewTitle), focused, 0);
    }

private:
    int titleHeight() const { return QFontMetrics(textViewFont()).height() + 4; }
    QRect titleRect() const { return {0, 0, width(), titleHeight()}; }

    void showCaptions(const SpiWindowView& shown) {
        const bool wasSend = button_->text() == "Send";
        chipSide_->setTitle(shown.chipCaption);
        externalSide_->setTitle(shown.externalCaption);
        button_->setText(shown.buttonText);
        // An external master may send again at once; a slave's "Set" waits
        // for the field to be edited.
        if (!wasSend && button_->text() == "Send") button_->setEnabled(true);
    }

    // The program wrote SPCR: the captions follow MSTR.
    void spcrWritten() {
        SpiWindowView shown{};
        {
            auto guard = context_.runControl().pause();
            shown = spiWindowView(context_.machine().chip);
        }
        showCaptions(shown);
        if (clear_) titleTimer_.start();
    }

    void pressButton() {
        SpiButtonResult result;
        context_.runControl().edit(
            [&] { result = pressSpiWindowButton(context_.machine().chip, externalTransmit_->text().toStdString()); });
        if (result.message) {
            context_.showMessage(*result.message);
            externalTransmit_->setFocus();
            return;
        }
        externalTransmit_->setText(externalTransmit_->text().toUpper().rightJustified(2, '0'));
        if (result.disableButton) button_->setEnabled(false);
        refreshView();
    }

    ViewContext& context_;
    bool clear_;
    QGroupBox* chipSide_;
    QGroupBox* externalSide_;
    QListWidget* chipTransmit_;
    QListWidget* chipReceive_;
    QLineEdit* externalTransmit_;
    QPushButton* button_;
    QLabel* externalReceive_;
    QTimer titleTimer_;
};

} // namespace

View* createSpiWindow(const ViewSources& sources) { return new SpiInterfaceWindow(sources.context, sources.chipNotices); }

} // namespace quorvel::shell
