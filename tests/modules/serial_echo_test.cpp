// The serial host against a running program: an echo program (assembled at
// test time with as31) returns the host's file byte by byte through the
// UART in modes 1 and 3, each byte sent when the chip has taken the last.
#include "machine/executor.h"
#include "modules/serial_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::support;

namespace {

// Forwards the UART's notices to the serial host, as the application does.
struct HostEvents : ChipEvents {
    Machine* machine = nullptr;
    void byteReceived(uint16_t) override {
        serialHostByteReceived(machine->modules.serialHost, machine->chip);
    }
    void byteTransmitted(uint16_t entry) override {
        serialHostByteTransmitted(machine->modules.serialHost, entry);
    }
};

// An AT89C2051 at 12 MHz: 1 us per machine cycle.
struct SerialEcho : testing::Test {
    Machine machine;
    HostEvents events;

    void load(const std::string& source) {
        machine = makeMachine(DeviceKind::AT89C2051);
        events.machine = &machine;
        machine.chip.events = &events;
        const std::vector<uint8_t> code = as31Image(source);
        ASSERT_FALSE(code.empty());
        loadCode(machine, code);
    }
};

// Echoes every received byte; in modes 2 and 3 with the ninth bit too.
std::string echoProgram(int scon) {
    return R"(
        .org 0
        mov sp, #0x60
        mov tmod, #0x20         ; timer 1, mode 2: baud ticks
        mov th1, #0xFF
        mov tl1, #0xFF
        setb tr1
        mov scon, #)" + std::to_string(scon) + R"(
loop:   jnb 0x98, loop          ; RI
        clr 0x98
        mov c, 0x9A             ; RB8
        mov 0x9B, c             ; TB8
        mov a, sbuf
        clr 0x99                ; TI
        mov sbuf, a
wt:     jnb 0x99, wt
        sjmp loop
)";
}

} // namespace

TEST_F(SerialEcho, HostFileComesBackInModes1And3) {
    TempDir dir;
    dir.write("echo.dat", "Hi\r");
    const std::pair<int, const char*> cases[] = {{0x50, "48(H)\r\n69(i)\r\n0D(.)"},
                                                 {0xD0, "48(H) - 1\r\n69(i) - 1\r\n0D(.) - 1"}};
    for (const auto& [scon, list] : cases) {
        SCOPED_TRACE(testing::Message() << "SCON " << std::hex << scon);
        load(echoProgram(scon));
        for (int i = 0; i < 20; ++i) step(machine); // the program sets the mode up
        SerialHostState& host = machine.modules.serialHost;
        SerialHostSettings& settings = machine.modules.settings.serialHost;
        host.ninthBit = 1;
        settings = {kSerialFromFile, (dir / "echo.dat").string()};
        ASSERT_FALSE(pressSerialSend(host, settings, machine.chip, "").has_value());
        for (long i = 0; i < 50000 && machine.chip.periph.serial.txLog.size() < 3; ++i)
            step(machine);
        EXPECT_EQ(snapshotTransferList(machine.chip, TransferList::SerialReceiver).text, list);
        EXPECT_EQ(snapshotTransferList(machine.chip, TransferList::SerialTransmitter).text, list);
        const SerialWindowView view = serialWindowView(host, settings, machine.chip);
        EXPECT_STREQ(view.fileStatus, "Transmitted Successfully");
        EXPECT_EQ(view.hostReceive, "0D");
    }
}
