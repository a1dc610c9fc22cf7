// The serial host on the wire: with a baud rate of its own it drives RXD bit
// by bit and reads TXD, so firmware that watches RXD sees the frames (a
// bit-banged receiver, a baud-rate detection loop), the UART's receiver
// samples the line (a glitch is no start bit, SM2 and the ninth bit decide
// RI), and a host off the chip's rate garbles bytes as on a real line.
#include "chip/serial_line.h"
#include "machine/executor.h"
#include "modules/serial_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::support;

namespace {

constexpr uint32_t kClock = 11059200; // 96 machine cycles a bit at 9600 baud

// Forwards the chip's notices to the serial host, as the front ends do, and
// keeps what the host read from TXD (at the chip's rate, from the UART).
struct HostEvents : ChipEvents {
    Machine* machine = nullptr;
    std::string read;
    void byteReceived(uint16_t) override {
        serialHostByteReceived(machine->modules.serialHost, machine->chip);
    }
    void byteTransmitted(uint16_t entry) override {
        serialHostByteTransmitted(machine->modules.serialHost, entry);
        if (!serialLineInUse(machine->chip)) read.push_back(char(entry));
    }
    void hostFrameSent() override { serialHostFrameSent(machine->modules.serialHost, machine->chip); }
    void hostByteRead(uint16_t entry, bool) override { read.push_back(char(entry)); }
};

struct SerialLine : testing::Test {
    Machine machine;
    HostEvents events;

    void load(const std::string& source, uint32_t hostBaud) {
        machine = makeMachine(DeviceKind::AT89C2051, kClock);
        events = HostEvents{};
        events.machine = &machine;
        machine.chip.events = &events;
        const std::vector<uint8_t> code = as31Image(source);
        ASSERT_FALSE(code.empty());
        loadCode(machine, code);
        setSerialLineBaud(machine.chip, hostBaud);
        runSteps(machine, 20); // the program sets itself up
    }
    void send(const std::string& text, uint8_t ninth = 1) {
        machine.modules.serialHost.ninthBit = ninth;
        startFileTransmission(machine.modules.serialHost, machine.chip,
                              std::vector<uint8_t>(text.begin(), text.end()));
    }
    // In batches, or one step at a time: the two must agree.
    void run(uint32_t steps, uint32_t batch = 1000) {
        for (uint32_t done = 0; done < steps; done += batch) runSteps(machine, batch);
    }
    std::string ram(uint8_t from, size_t count) const {
        return std::string(machine.chip.iram.begin() + from, machine.chip.iram.begin() + from + count);
    }
    std::string received() const {
        std::string text;
        const SerialLog& log = machine.chip.periph.serial.rxLog;
        for (int i = 0; i < log.size(); ++i) text.push_back(char(log.at(i)));
        return text;
    }
};

// Timer 1 gives 9600 baud at 11.0592 MHz; every byte received is echoed
// (with its ninth bit in mode 3).
std::string echoProgram(int scon) {
    return R"(
        .org 0
        mov tmod, #0x20
        mov th1, #0xFD
        mov tl1, #0xFD
        setb tr1
        mov scon, #)" + std::to_string(scon) + R"(
loop:   jnb ri, loop
        clr ri
        mov c, rb8
        mov tb8, c
        mov a, sbuf
        clr ti
        mov sbuf, a
wait:   jnb ti, wait
        sjmp loop
)";
}

} // namespace

// The UART against hosts at and off its rate, both directions.
TEST_F(SerialLine, HostRateAgainstTheChips) {
    struct Row {
        const char* what;
        int scon;
        uint32_t hostBaud;
        uint8_t ninth;
        bool shiftedIn; // the UART shifted the text in unchanged (its log)
        bool echoed;    // ... took it (RI) and the host read the echo unchanged
        bool framingErrors;
    };
    const Row rows[] = {
        {"as the chip", 0x50, 0, 1, true, true, false},
        {"same rate", 0x50, 9600, 1, true, true, false},
        {"2% fast", 0x50, 9792, 1, true, true, false},
        {"2% slow", 0x50, 9408, 1, true, true, false},
        {"10% fast", 0x50, 10560, 1, false, false, true},
        {"10% slow", 0x50, 8640, 1, false, false, true},
        {"mode 3, ninth bit", 0xD0, 9600, 1, true, true, false},
        {"mode 3, SM2 and a ninth bit 0", 0xF0, 9600, 0, true, false, false},
    };
    const std::string text = "Hello, 8051!";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string steppedReceived, steppedRead;
        for (const uint32_t batch : {1u, 1000u}) {
            load(echoProgram(row.scon), row.hostBaud);
            send(text, row.ninth);
            run(60000, batch);
            if (batch == 1) {
                steppedReceived = received();
                steppedRead = events.read;
            }
        }
        EXPECT_EQ(received() == text, row.shiftedIn) << received();
        EXPECT_EQ(events.read == text, row.echoed) << events.read;
        EXPECT_EQ(steppedReceived, received());
        EXPECT_EQ(steppedRead, events.read);
        const uint32_t framing = machine.chip.periph.serial.framingErrors + machine.chip.periph.line.framingErrors;
        EXPECT_EQ(framing > 0, row.framingErrors) << framing;
    }
}

// The host's file at the chip's rate comes back byte by byte through the
// echo program, in modes 1 and 3, each byte sent when the chip took the last;
// the lists and the window show it.
TEST_F(SerialLine, HostFileComesBackInModes1And3) {
    TempDir dir;
    dir.write("echo.dat", "Hi\r");
    const std::pair<int, const char*> cases[] = {{0x50, "48(H)\r\n69(i)\r\n0D(.)"},
                                                 {0xD0, "48(H) - 1\r\n69(i) - 1\r\n0D(.) - 1"}};
    for (const auto& [scon, list] : cases) {
        SCOPED_TRACE(testing::Message() << "SCON " << std::hex << scon);
        load(echoProgram(scon), 0);
        SerialHostState& host = machine.modules.serialHost;
        SerialHostSettings& settings = machine.modules.settings.serialHost;
        host.ninthBit = 1;
        settings = {kSerialFromFile, (dir / "echo.dat").string()};
        ASSERT_FALSE(pressSerialSend(host, settings, machine.chip, "").has_value());
        for (long i = 0; i < 50000 && machine.chip.periph.serial.txLog.size() < 3; ++i) step(machine);
        EXPECT_EQ(snapshotTransferList(machine.chip, TransferList::SerialReceiver).text, list);
        EXPECT_EQ(snapshotTransferList(machine.chip, TransferList::SerialTransmitter).text, list);
        const SerialWindowView view = serialWindowView(host, settings, machine.chip);
        EXPECT_STREQ(view.fileStatus, "Transmitted Successfully");
        EXPECT_EQ(view.hostReceive, "0D");
    }
}

// A program that leaves RI set keeps its first byte: the frames after it
// are lost, from a host at the chip's rate and from one on the wire alike.
TEST_F(SerialLine, FramesArrivingWhileRiIsSetAreLost) {
    const std::string idle = R"(
        .org 0
        mov tmod, #0x20
        mov th1, #0xFD
        mov tl1, #0xFD
        setb tr1
        mov scon, #0x50
here:   sjmp here
)";
    for (const uint32_t hostBaud : {0u, 9600u}) {
        SCOPED_TRACE(hostBaud);
        load(idle, hostBaud);
        send("ABC");
        run(20000);
        EXPECT_EQ(received(), "ABC"); // all three were shifted in
        EXPECT_EQ(machine.chip.side.serialReceiveBuffer, 'A');
        EXPECT_EQ(machine.chip.sfrs[sfr::sfrIndex(sfr::SCON)], 0x50 | 0x04 | 0x01); // RB8 (stop bit), RI
    }
}

// A low pulse on RXD shorter than half a bit is no start bit; the frame
// that follows is received alone.
TEST_F(SerialLine, GlitchIsNoStartBit) {
    load(echoProgram(0x50), 9600);
    machine.chip.pins.drivePin(pin::RXD, false);
    runSteps(machine, 10); // about 20 machine cycles: 3 baud ticks
    machine.chip.pins.drivePin(pin::RXD, true);
    run(2000);
    EXPECT_EQ(received(), "");
    send("A");
    run(2000);
    EXPECT_EQ(received(), "A");
}

// Firmware that watches RXD itself: a bit-banged receiver and a baud-rate
// detection loop, which wait with JB RXD for the start bit.
TEST_F(SerialLine, FirmwareSeesTheBitsOnRxd) {
    // 96 cycles a bit: sample 1.5 bits after the start bit's edge, then
    // every bit; each byte goes to RAM from 30H.
    const std::string softwareUart = R"(
        .org 0
        mov r0, #0x30
next:   jb p3.0, next
        mov r7, #70
d1:     djnz r7, d1
        mov r6, #8
bit:    mov c, p3.0
        rrc a
        mov r7, #45
d2:     djnz r7, d2
        nop
        djnz r6, bit
        mov @r0, a
        inc r0
stop:   jnb p3.0, stop
        sjmp next
)";
    load(softwareUart, 9600);
    send("Hi!");
    run(5000);
    EXPECT_EQ(ram(0x30, 3), "Hi!");

    // The start bit of 'a' (bit 0 is 1) timed with timer 0: one bit time.
    const std::string detection = R"(
        .org 0
        mov tmod, #0x01
wait:   jb p3.0, wait
        setb tr0
low:    jnb p3.0, low
        clr tr0
        mov 0x30, tl0
        mov 0x31, th0
here:   sjmp here
)";
    for (const uint32_t baud : {2400u, 9600u, 19200u}) {
        SCOPED_TRACE(baud);
        load(detection, baud);
        send("a");
        run(2000);
        const int counted = machine.chip.iram[0x30] | machine.chip.iram[0x31] << 8;
        const int bitCycles = int(kClock / 12 / baud);
        EXPECT_NEAR(counted, bitCycles, 3);
    }
}
