// Watchpoints: a run stops right after the instruction that wrote the
// watched place, in every memory space, also when it stored the value the
// place held; never on a read or a write beside it.
#include "core_test_support.h"
#include "machine/watchpoints.h"

using namespace quorvel;
using namespace quorvel::test;

TEST(Watchpoints, StopAfterTheInstructionThatWroteThePlace) {
    // Each program reads its place (and writes beside it) before it writes
    // it; the writer sits at 0x40.
    const struct {
        const char* name;
        const char* place;
        const char* source;
        uint8_t oldValue, newValue;
        DeviceKind kind = DeviceKind::AT89C52;
    } cases[] = {
        {"a bit write that changes its byte", "iram:20", R"(
        .org 0
        mov a, 0x20
        setb 0x08
        .org 0x40
        setb 0x03
)", 0x00, 0x08},
        {"a write of the value the byte held", "iram:30", R"(
        .org 0
        mov 0x31, #0
        mov 0x2f, a
        mov a, 0x30
        .org 0x40
        mov 0x30, #0
)", 0x00, 0x00},
        {"a bit set that was set already", "bit:P1.0", R"(
        .org 0
        setb p1.1
        mov c, p1.0
        .org 0x40
        setb p1.0
)", 1, 1},
        {"MOVX of the value the byte held, after a write beside it", "xdata:1234", R"(
        .org 0
        mov dptr, #0x1235
        movx @dptr, a
        mov dptr, #0x1234
        .org 0x40
        movx @dptr, a
)", 0x00, 0x00},
        {"MOVX after a MOVX read", "xdata:1234", R"(
        .org 0
        mov dptr, #0x1234
        movx a, @dptr
        mov a, #0x5a
        .org 0x40
        movx @dptr, a
)", 0x00, 0x5A},
        {"PUSH to the watched stack byte", "iram:41", R"(
        .org 0
        mov sp, #0x40
        mov a, #7
        mov r0, #0x41
        mov b, @r0
        .org 0x40
        push acc
)", 0x00, 0x07},
        {"a write by an interrupt handler", "iram:50", R"(
        .org 0
        ljmp main
        .org 0x0b
        ljmp isr
        .org 0x30
main:   mov tmod, #0x02
        mov th0, #0xf0
        setb tr0
        mov ie, #0x82
loop:   mov a, 0x50
        sjmp loop
        .org 0x40
isr:    mov 0x50, #0x99
        reti
)", 0x00, 0x99},
        {"the return address an interrupt's vectoring pushes", "iram:61", R"(
        .org 0
        ljmp main
        .org 0x03
        reti
        .org 0x30
main:   mov sp, #0x60
        mov ie, #0x81
        mov a, 0x61
        .org 0x40
        setb ie0
)", 0x00, 0x42},
        {"an SFR by name", "sfr:p1", R"(
        .org 0
        mov a, p1
        .org 0x40
        mov p1, #0x0f
)", 0xFF, 0x0F},
        {"a bit left alone by a write to its byte's other bits", "bit:P1.0", R"(
        .org 0
        cpl p1.1
        anl p1, #0xf1
        .org 0x40
        clr p1.0
)", 1, 0},
        {"an EEPROM byte written by MOVX", "eeprom:10", R"(
        .org 0
        orl 0x96, #0x18
        mov dptr, #0x10
        movx a, @dptr
        mov a, #0x42
        .org 0x40
        movx @dptr, a
)", 0xFF, 0x42, DeviceKind::AT89S8252},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m = assembledMachine(c.source, c.kind);
        std::string error;
        const std::optional<WatchAddress> place = parseWatchAddress(c.place, error);
        ASSERT_TRUE(place) << error;
        Watchpoints watch;
        ASSERT_FALSE(watch.add(*place, m));
        m.watchpoints = &watch;
        const RunResult result = runSteps(m, 10000);
        ASSERT_EQ(result.cause, StopCause::Watchpoint);
        ASSERT_TRUE(watch.hit());
        EXPECT_EQ(watch.hit()->writerPc, 0x40);
        EXPECT_EQ(watch.hit()->place, *place);
        EXPECT_EQ(watch.hit()->oldValue, c.oldValue);
        EXPECT_EQ(watch.hit()->newValue, c.newValue);
        EXPECT_EQ(m.chip.side.instructionAddress, 0x40);
    }
}

TEST(Watchpoints, RefuseWhatTheDeviceDoesNotHave) {
    const struct {
        const char* text;
        DeviceKind kind;
        const char* message; // empty when accepted
    } cases[] = {
        {"iram:7F", DeviceKind::AT89C52, ""},
        {"sfr:B", DeviceKind::AT89C52, ""},
        {"bit:acc.7", DeviceKind::AT89C52, ""},
        {"code:10", DeviceKind::AT89C52, "code memory cannot be watched"},
        {"iram:100", DeviceKind::AT89C52, "iram:0100 is beyond the internal RAM"},
        {"iram:80", DeviceKind::AT89C51, "iram:80 is beyond the internal RAM"},
        {"sfr:20", DeviceKind::AT89C52, "sfr:20 is not an SFR address"},
        {"xdata:0", DeviceKind::AT89C2051, "there is no external data memory"},
        {"eeprom:0", DeviceKind::AT89C52, "the device has no EEPROM"},
        {"eeprom:800", DeviceKind::AT89S8252, "eeprom:0800 is beyond the EEPROM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Machine m = makeMachine(c.kind, 12000000, 0x07FF,
                                      c.kind == DeviceKind::AT89C2051 ? 0 : 0xFFFF);
        std::string message;
        const std::optional<WatchAddress> place = parseWatchAddress(c.text, message);
        Watchpoints watch;
        if (place) {
            if (const Validation refused = watch.add(*place, m)) message = refused->text;
        }
        if (*c.message == '\0') {
            EXPECT_EQ(message, "");
            EXPECT_EQ(watch.places().size(), 1u);
        } else {
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
            EXPECT_TRUE(watch.empty());
        }
    }
}

// The write targets by opcode that decide which instructions are compared:
// every byte of internal RAM or external data that one instruction of any
// opcode changes is one its target says it may have written.
TEST(Watchpoints, WriteTargetsCoverEveryByteAnInstructionChanges) {
    for (int op = 0; op < 256; ++op) {
        Machine m = makeMachine();
        ChipState& c = m.chip;
        for (int a = 0; a < 256; ++a) c.iram[size_t(a)] = uint8_t(a ^ 0xA5);
        c.iram[0] = 0x50; // R0
        c.iram[1] = 0x51; // R1
        c.sfr(sfr::SP) = 0x60;
        c.sfr(sfr::DPL) = 0x34;
        c.sfr(sfr::DPH) = 0x12;
        c.sfr(sfr::ACC) = 0x3C;
        loadCode(m, {uint8_t(op), 0x45, 0x46}, 0x0100);
        c.pc = 0x0100;
        const ChipState before = c;
        ASSERT_FALSE(step(m));
        std::vector<WatchAddress> changed;
        for (uint16_t a = 0; a < 256; ++a)
            if (c.iram[a] != before.iram[a]) changed.push_back({WatchSpace::InternalRam, a});
        for (uint16_t a : {0x0050, 0x0051, 0x1234})
            if (c.xdata[a] != before.xdata[a]) changed.push_back({WatchSpace::ExternalData, a});
        for (const WatchAddress& place : changed) {
            Watchpoints watch;
            ASSERT_FALSE(watch.add(place, m));
            watch.arm(c);
            EXPECT_TRUE(watch.filter().worthALook(uint8_t(op), &before.code[0x0101], c.registerBank(),
                                                  c.sfr(sfr::SP)) &&
                        watch.mayHaveWritten(uint8_t(op), &before.code[0x0101], c))
                << std::hex << "opcode " << op << " changed " << spaceAddressText(place);
        }
    }
}
