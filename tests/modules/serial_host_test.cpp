// The serial host and the SPI window's logic: list formats, "Send"/"Set"
// validation, file transmission paced by receptions, saving the lists
// without ever leaving a partial file, and editing the device memory dump.
#include "modules/device_memory_view.h"
#include "modules/serial_host.h"
#include "modules/spi_window.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quorvel;
using namespace quorvel::support;

TEST(TransferLists, LineFormats) {
    SerialLog serial;
    serial.append(0x41);                  // mode 1
    serial.append(0x0D);
    serial.append(0x200 | 0x100 | 0x41);  // mode 3, ninth bit 1
    serial.append(0x200 | 0x7F);          // mode 2, ninth bit 0
    EXPECT_EQ(serialListText(serial), "41(A)\r\n0D(.)\r\n41(A) - 1\r\n7F(.) - 0");
    SpiLog spi;
    spi.append(0x20);
    spi.append(0x7E);
    spi.append(0x80);
    EXPECT_EQ(spiListText(spi), "20 ( )\r\n7E (~)\r\n80 (.)");
    EXPECT_EQ(spiListText(SpiLog{}), "");
}

TEST(TransferLists, EmptyListsGiveAMessageNotAFile) {
    ChipState chip;
    EXPECT_TRUE(snapshotTransferList(chip, TransferList::SerialReceiver).empty.has_value());
    chip.periph.spi.txLog.append(0x31);
    const TransferListSnapshot spi = snapshotTransferList(chip, TransferList::SpiTransmitter);
    EXPECT_FALSE(spi.empty.has_value());
    EXPECT_EQ(spi.text, "31 (1)");
    EXPECT_TRUE(snapshotTransferList(chip, TransferList::SpiReceiver).empty.has_value());
}

TEST(TransferLists, SaveReplacesOnlyWhenComplete) {
    TempDir dir;
    const fs::path target = dir.path / "rx.dat";
    ASSERT_EQ(saveTextFile(target, "41(A)").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readFile(target), "41(A)");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(saveTextFile(target, "42(B)\r\n43(C)").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readFile(target), "42(B)\r\n43(C)");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(dir.entries(), 1); // no temporary file left behind

    // Failures leave what was there and report "Unable to Write the file".
    const SaveResult intoMissingFolder = saveTextFile(dir.path / "none" / "x.dat", "x");
    EXPECT_EQ(intoMissingFolder.outcome, SaveOutcome::Failed);
    EXPECT_EQ(*intoMissingFolder.message, errorMessage("ERROR", "Unable to Write the file"));
    if (::geteuid() != 0) { // permissions do not stop root
        fs::permissions(dir.path, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(saveTextFile(target, "lost").outcome, SaveOutcome::Failed);
        fs::permissions(dir.path, fs::perms::owner_all);
        EXPECT_EQ(readFile(target), "42(B)\r\n43(C)");
        EXPECT_EQ(dir.entries(), 1);
    }
}

TEST(ByteFields, HexValidation) {
    EXPECT_EQ(parseByteField("aB"), 0xAB);
    EXPECT_EQ(parseByteField("f"), 0x0F);
    for (const char* bad : {"", "G1", "123", " 1", "1 ", "-1"})
        EXPECT_FALSE(parseByteField(bad).has_value()) << '"' << bad << '"';
}

// ---- serial host

TEST(SerialHost, ManualSendHandsTheByteToTheUart) {
    ChipState chip;
    SerialHostState host;
    SerialHostSettings settings;
    EXPECT_EQ(pressSerialSend(host, settings, chip, "G1"), errorMessage("ERROR", "Illegal Data"));
    EXPECT_EQ(chip.periph.serial.rxState, Reception::None);

    chip.sfr(sfr::SCON) = 0x50; // mode 1: a valid stop bit goes with the byte
    host.ninthBit = 0;
    EXPECT_FALSE(pressSerialSend(host, settings, chip, "41").has_value());
    EXPECT_EQ(chip.periph.serial.rxState, Reception::Pending);
    EXPECT_EQ(chip.periph.serial.rxData, 0x41);
    EXPECT_EQ(chip.periph.serial.rxNinth, 1);

    chip.sfr(sfr::SCON) = 0xD0; // mode 3: the host's TB8 choice
    host.ninthBit = 0;
    pressSerialSend(host, settings, chip, "7e");
    EXPECT_EQ(chip.periph.serial.rxData, 0x7E);
    EXPECT_EQ(chip.periph.serial.rxNinth, 0);
}

namespace {

// A host set to send the ten bytes of long.dat to a bare chip.
struct SerialHostFile : testing::Test {
    TempDir dir;
    ChipState chip;
    SerialHostState host;
    SerialHostSettings settings{kSerialFromFile, (dir.path / "long.dat").string()};
    void SetUp() override { writeFile(dir.path / "long.dat", "0123456789"); }
};

} // namespace

// (The echo program's run shows a file paced by the chip's receptions.)
TEST_F(SerialHostFile, CancelAndUnreadableFiles) {
    pressSerialSend(host, settings, chip, "");
    serialHostByteReceived(host, chip);
    pressSerialSend(host, settings, chip, ""); // "Cancel"
    chip.periph.serial.rxState = Reception::None;
    serialHostByteReceived(host, chip);
    EXPECT_EQ(chip.periph.serial.rxState, Reception::None);
    EXPECT_EQ(host.bytesSent, 2u);

    writeFile(dir.path / "empty.dat", "");
    const UserMessage unable = errorMessage("ERROR", "Unable to open the selected file");
    for (const auto& [file, message] : {std::pair{dir.path / "missing.dat", unable}, {dir.path, unable},
                                        {dir.path / "empty.dat", errorMessage("ERROR", "The selected file is empty")}}) {
        settings.TransferFileName = file.string();
        EXPECT_EQ(pressSerialSend(host, settings, chip, ""), message) << file;
        EXPECT_FALSE(host.transmitting);
        EXPECT_EQ(chip.periph.serial.rxState, Reception::None);
    }
}

// The mode switched to "Manual Byte" while a file is going out: the button
// still reads "Cancel" and cancels, it does not send the typed byte.
TEST_F(SerialHostFile, CancelWinsOverAModeChangedMeanwhile) {
    ASSERT_FALSE(pressSerialSend(host, settings, chip, ""));
    settings.SerialTransferMode = 0;
    chip.periph.serial.rxState = Reception::None;
    EXPECT_FALSE(pressSerialSend(host, settings, chip, "41"));
    EXPECT_EQ(chip.periph.serial.rxState, Reception::None) << "nothing sent";
    EXPECT_FALSE(pressSerialSend(host, settings, chip, "41"));
    EXPECT_EQ(chip.periph.serial.rxData, 0x41) << "the next press sends";

    EXPECT_EQ(checkSerialHostSettings({kSerialFromFile, ""}),
              errorMessage("ERROR", "No file selected for transmission"));
    EXPECT_FALSE(checkSerialHostSettings({0, ""}));
    EXPECT_FALSE(checkSerialHostSettings(settings));
}

// ---- SPI window

// As master the chip starts transfers itself: the button only sets the byte
// it will get. As slave the button starts one transfer from outside.
TEST(SpiWindow, TheButtonFollowsMstr) {
    ChipState chip;
    chip.sfr(sfr::SPCR) = sfr::bits::SPE | sfr::bits::MSTR;
    EXPECT_EQ(pressSpiWindowButton(chip, "G1").message, errorMessage("ERROR", "Illegal Data"));
    const SpiButtonResult set = pressSpiWindowButton(chip, "5A");
    EXPECT_TRUE(set.disableButton);
    EXPECT_EQ(chip.periph.spi.slaveByte, 0x5A);
    EXPECT_EQ(chip.periph.spi.state, SpiTransfer::Idle);

    chip.sfr(sfr::SPCR) = sfr::bits::SPE;
    EXPECT_FALSE(pressSpiWindowButton(chip, "C3").disableButton);
    EXPECT_EQ(chip.periph.spi.state, SpiTransfer::External);

    ChipState off; // SPE clear: nothing to clock
    pressSpiWindowButton(off, "C3");
    EXPECT_EQ(off.periph.spi.state, SpiTransfer::Idle);
    // The external side shows the last byte the chip sent and the one it gets.
    chip.periph.spi.txLog.append(0x41);
    chip.periph.spi.txLog.append(0x0A);
    EXPECT_EQ(spiWindowView(chip).externalReceive, "0A");
    EXPECT_EQ(spiWindowView(chip).externalTransmit, "C3");
}

// ---- device memory windows

TEST(DeviceMemoryView, EditingStaysInsideTheDevice) {
    std::array<uint8_t, 300> memory{};
    memory.fill(0x11);
    DeviceMemoryView view;
    openDeviceView(view, memory, 256);
    ASSERT_EQ(view.shown.size(), 256u);
    EXPECT_EQ(dumpKeyEdit(view, 0x11, 'g'), std::nullopt);
    EXPECT_EQ(dumpKeyEdit(view, 0x11, 'a'), 0xA1); // high digit first, then the low
    acceptEdit(view, 0xA1);
    EXPECT_EQ(dumpKeyEdit(view, 0xA1, 'F'), 0xAF);
    acceptEdit(view, 0xAF);
    EXPECT_EQ(view.caret, 1);
    moveCaret(view, 999, true);
    EXPECT_EQ(view.caret, 255);
    EXPECT_EQ(dumpKeyEdit(view, 0x11, 'x'), uint8_t('x'));
    acceptEdit(view, 'x');
    EXPECT_EQ(view.caret, 255); // stays inside the device

    // Bytes the program changed are the ones that differ from the copy.
    memory[0] = 0xAF; // the edit itself, applied by the device
    memory[255] = 'x';
    memory[7] = 0x99; // written by the program
    EXPECT_FALSE(changedByProgram(view, memory, 0));
    EXPECT_FALSE(changedByProgram(view, memory, 299)); // outside the device
    refreshShown(view, memory, 1, 6);
    EXPECT_TRUE(changedByProgram(view, memory, 7)); // 1-6 refreshed, 7 not
    refreshShown(view, memory, 7, 7);
    EXPECT_FALSE(changedByProgram(view, memory, 7));
}
