// The application configuration file: header and body layout, image sizes
// by device, the start-up memory rules (device changed, restore, clear,
// sizes changed), the missing file, and cut or corrupt files.
#include "settings/app_config.h"
#include "settings/module_block.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::support;

namespace {

using K = DeviceKind;

Machine machineFor(K kind, uint16_t xdataLimit = 0,
                   ProgramMemoryMode mode = ProgramMemoryMode::InternalOnly, int sizeChoice = 0) {
    DeviceSelection selection;
    selection.kind = kind;
    selection.programMode = mode;
    selection.externalSizeChoice = uint8_t(sizeChoice);
    selection.codeLimit = computeCodeLimit(kind, mode, sizeChoice);
    selection.xdataLimit = xdataLimit;
    Machine m;
    configureMachine(m, selection);
    return m;
}

// Memories with recognisable contents: byte i of each holds i + seed.
void pattern(Machine& m, uint8_t seed) {
    for (size_t i = 0; i < m.chip.code.size(); ++i) m.chip.code[i] = uint8_t(i + seed);
    for (size_t i = 0; i < m.chip.xdata.size(); ++i) m.chip.xdata[i] = uint8_t(i * 3 + seed);
    for (size_t i = 0; i < m.chip.iram.size(); ++i) m.chip.iram[i] = uint8_t(i * 5 + seed);
    for (uint8_t& b : m.chip.eeprom) b = seed;
}

bool allFF(const auto& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

// A configuration with module settings, key names and serial settings that
// the tests can recognise after the images.
AppConfig savedFrom(const Machine& m, RunSettings run = {}) {
    AppConfig config;
    config.assemblerPath = "/opt/asm51";
    Machine copy = m;
    ModuleSettings& s = copy.modules.settings;
    s.LedDigitCount = 6;
    s.LcdOptions = 0x21;
    s.KeypadType = 1; // 16 names
    setKeyName(s, 15, "Last");
    s.serialHost = {kSerialFromFile, "transfer.bin"};
    captureAppConfig(config, copy, run);
    return config;
}

TEST(AppConfig, HeaderFieldsAtTheirOffsets) {
    AppConfig c;
    c.device.kind = K::AT89C52;
    c.run.numberOfSteps = 0x0102;
    c.externalViewStart = 0x0304;
    c.internalViewStart = 0x0506;
    c.programViewStart = 0x0708;
    c.registerViewPc = 0x090A;
    c.run.breakpoint = {BreakpointType::ExternalMemory, 0x0C0D, 0x0E0F, 0x10, 0x11};
    c.assemblerOptions = 0x12;
    c.editorOption = 0x13;
    c.assemblerPath = "abc";
    c.run.execution.fromGivenAddress = true;
    c.device.frequency = 0x16171819;
    c.reservedA = 0x1A;
    c.reservedB = 0x1B;
    c.run.execution.screenUpdate = true;
    c.run.execution.updateSeconds = 29;
    c.device.codeLimit = 0x1E1F;
    c.device.xdataLimit = 0x2021;
    c.device.programMode = ProgramMemoryMode::Both;
    c.run.memory = {2, 0x2627, 0x2829, 2, 0x25};
    const std::vector<uint8_t> expected = {
        3,    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, // kind, steps, views, PC
        2,    0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,                         // breakpoint
        0x12, 0x13, 3,    1,                                              // options, path length, choice
        0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 1,    29,                     // clock, reserved, update
        0x1E, 0x1F, 0x20, 0x21, 2,                                        // limits, memory option
        2,    2,    0x25, 0x26, 0x27, 0x28, 0x29,                         // overlap, start-up
    };
    const auto bytes = serializeAppConfig(c);
    ASSERT_GE(bytes.size(), 45u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 42), expected);
    EXPECT_EQ(std::string(bytes.begin() + 42, bytes.begin() + 45), "abc");
    // Images at the header's sizes (padded with FFH), then the serial bytes.
    EXPECT_EQ(bytes.size(), 42 + 3 + 131 + 35 + 0x1E20 + 0x2022 + 256 + 3 + 12 * 10);

    const AppConfigRead read = parseAppConfig(bytes, AppConfig{});
    EXPECT_EQ(read.missingFrom, AppConfigSection::Done);
    EXPECT_EQ(serializeAppConfig(read.config), bytes);
    EXPECT_EQ(read.config.run, c.run);
}

TEST(AppConfig, BodyLayoutAndImageSizesByDevice) {
    struct Case {
        K kind;
        uint16_t xdata;
        ProgramMemoryMode mode;
        int sizeChoice;
        size_t program, external, internal;
    };
    const Case cases[] = {
        {K::AT89C1051, 0, ProgramMemoryMode::InternalOnly, 0, 1024, 0, 64},
        {K::AT89C2051, 0, ProgramMemoryMode::InternalOnly, 0, 2048, 0, 128},
        {K::AT89C52, 2047, ProgramMemoryMode::InternalOnly, 0, 8192, 2048, 256},
        // 64K of each: sizes in 32 bits, not 0.
        {K::I8031, 65535, ProgramMemoryMode::ExternalOnly, 5, 65536, 65536, 128},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(int(t.kind));
        Machine m = machineFor(t.kind, t.xdata, t.mode, t.sizeChoice);
        pattern(m, 9);
        const AppConfig c = savedFrom(m);
        const auto bytes = serializeAppConfig(c);
        const size_t images = 42 + 10 + 131 + 35;
        ASSERT_EQ(bytes.size(), images + t.program + t.external + t.internal + 3 + 12 + 16 * 10);
        // Module block right after the path, the images after the input sources.
        EXPECT_EQ(bytes[42 + 10 + 47], 6);    // LedDigitCount
        EXPECT_EQ(bytes[images + 1], 10);     // program byte 1
        EXPECT_EQ(bytes[images + t.program + t.external + 2], uint8_t(2 * 5 + 9)); // internal byte 2
        const size_t serial = images + t.program + t.external + t.internal;
        EXPECT_EQ(bytes[serial], kSerialFromFile);
        EXPECT_EQ(bytes[serial + 1], 0); // never transmitting
        EXPECT_EQ(std::string(bytes.end() - 10, bytes.end() - 6), "Last");

        AppConfigRead read = parseAppConfig(bytes, AppConfig{});
        ASSERT_EQ(read.missingFrom, AppConfigSection::Done);
        EXPECT_EQ(read.config.externalImage, m.chip.xdata);
    }
}

TEST(AppConfig, RoundTripRestoresTheMachine) {
    TempDir dir;
    Machine before = machineFor(K::AT89S8252, 8191);
    pattern(before, 1);
    before.modules.settings.iic.EepromType = 3;
    before.modules.settings.spi.SpiLines = {0x10, 0x11, 0x12};
    before.chip.pins.setSetting(9, kInput1);
    RunSettings run;
    run.numberOfSteps = 12;
    run.breakpoint = {BreakpointType::Register, 0, 0x55, 17, 0}; // DP1 entry: 18 registers here
    run.execution = {true, 5, true, 0};
    run.memory = {0, 0, 0, 2, startup::RestoreProgram | startup::RestoreExternal | startup::RestoreInternal};
    AppConfig saved = savedFrom(before, run);
    saved.programViewStart = 0x1F00;
    ASSERT_TRUE(WriteAppConfig(dir.path / "simulator.dat", saved));

    Machine after = machineFor(K::AT89S8252, 8191);
    pattern(after, 77);
    AppConfigRead read = ReadAppConfig(dir.path / "simulator.dat", AppConfig{});
    ASSERT_EQ(read.missingFrom, AppConfigSection::Done);
    RunSettings applied;
    applyAppConfig(read.config, after, applied);
    EXPECT_EQ(applied, run);
    EXPECT_EQ(after.chip.xdata, before.chip.xdata);
    EXPECT_EQ(after.chip.eeprom, std::vector<uint8_t>(2048, 77)); // the EEPROM is not stored
    // With external memory the bus takes P0 and P2: lines there become P1.0.
    ModuleSettings expected = saved.modules;
    replaceUnavailableLines(expected, 0xFF00FF00);
    EXPECT_EQ(after.modules.settings, expected);
    EXPECT_EQ(read.config.programViewStart, 0x1F00);
    // The stored input sources are applied; the others stay unconnected.
    EXPECT_EQ(after.chip.pins.setting[9], kInput1);
    EXPECT_EQ(after.chip.pins.setting[10], kInputNC);
}

// Each case saves from one machine and applies to another: restore and
// clear follow the selection, and a changed device or changed image sizes
// start with cleared memories. What follows the images is read either way.
TEST(AppConfig, RestoreAndClearFollowTheSelectionAndTheStoredSizes) {
    using M = ProgramMemoryMode;
    struct Machines {
        K kind;
        uint16_t xdata;
        M mode = M::InternalOnly;
        int sizeChoice = 0;
    };
    const Machines c52{K::AT89C52, 2047};
    struct Case {
        const char* what;
        Machines from, to;
        MemorySetting memory;
        int program, external, internal; // 0 untouched, 1 restored, 2 filled with FFH
    };
    const Case cases[] = {
        {"restore internal only", c52, c52, {0, 0, 0, 2, startup::RestoreInternal}, 0, 0, 1},
        {"restore program and external", c52, c52, {0, 0, 0, 2, 0x30}, 1, 1, 0},
        {"clear program and internal", c52, c52, {0, 0, 0, 0, startup::ClearProgram | startup::ClearInternal}, 2, 0, 2},
        {"clear with restore bits set", c52, c52, {0, 0, 0, 0, 0x70}, 0, 0, 0},
        {"device changed", {K::AT89C52, 4095}, {K::AT89S8252, 2047}, {0, 0, 0, 2, 0x70}, 2, 2, 2},
        // Program memory grew and external memory went away: the walk uses the stored sizes.
        {"sizes changed", {K::AT89C52, 2047, M::Both, 0}, {K::AT89C52, 0, M::Both, 1}, {0, 0, 0, 2, 0x70}, 2, 0, 1},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        Machine old = machineFor(t.from.kind, t.from.xdata, t.from.mode, t.from.sizeChoice);
        pattern(old, 5);
        RunSettings run;
        run.memory = t.memory;
        AppConfigRead read = parseAppConfig(serializeAppConfig(savedFrom(old, run)), AppConfig{});
        ASSERT_EQ(read.missingFrom, AppConfigSection::Done);
        Machine now = machineFor(t.to.kind, t.to.xdata, t.to.mode, t.to.sizeChoice);
        pattern(now, 6);
        const Machine untouched = now;
        RunSettings applied;
        applyAppConfig(read.config, now, applied);
        auto check = [](int expected, const auto& got, const auto& restored, const auto& kept) {
            if (expected == 0) { EXPECT_EQ(got, kept); }
            if (expected == 1) { EXPECT_EQ(got, restored); }
            if (expected == 2) { EXPECT_TRUE(allFF(got)); }
        };
        check(t.program, now.chip.code, old.chip.code, untouched.chip.code);
        check(t.external, now.chip.xdata, old.chip.xdata, untouched.chip.xdata);
        check(t.internal, now.chip.iram, old.chip.iram, untouched.chip.iram);
        if (t.from.kind != t.to.kind) { EXPECT_TRUE(allFF(now.chip.eeprom)); }
        EXPECT_EQ(now.selection.kind, t.to.kind); // reading does not change the device
        EXPECT_EQ(keyName(now.modules.settings, 15), "Last");
        EXPECT_EQ(now.modules.settings.serialHost.TransferFileName, "transfer.bin");
    }
}

TEST(AppConfig, MissingFileGivesTheDefaults) {
    TempDir dir;
    EXPECT_EQ(ReadDeviceConfig(dir.path / "simulator.dat").kind, K::AT89C2051);
    const AppConfig defaults = defaultAppConfig("/usr/share/quorvel");
    AppConfigRead read = ReadAppConfig(dir.path / "simulator.dat", defaults);
    EXPECT_FALSE(read.found);
    EXPECT_EQ(read.config, defaults);

    Machine m = machineFor(K::AT89S8252, 2047);
    pattern(m, 1);
    RunSettings run;
    run.numberOfSteps = 9;
    applyAppConfig(read.config, m, run);
    EXPECT_TRUE(allFF(m.chip.code));
    EXPECT_TRUE(allFF(m.chip.xdata));
    EXPECT_TRUE(allFF(m.chip.eeprom));
    EXPECT_EQ(run.numberOfSteps, 1);
}

TEST(AppConfig, CutFilesKeepTheSectionsReadWhole) {
    // AT89C2051, path "asm", 16 key names, serial file "x.bin":
    // header 0-41, path 42-44, block 45-175, inputs 176-210, images 211-2386,
    // serial 2387-2394, names 2395-2554.
    AppConfig c;
    c.assemblerPath = "asm";
    c.run.numberOfSteps = 4;
    c.run.memory.startupAction = 2;
    c.run.memory.startupSelection = startup::RestoreProgram;
    c.modules.KeypadType = 1;
    c.modules.LedDigitCount = 3;
    c.inputSources[0] = 1;
    c.programImage.assign(2048, 0x12);
    c.internalImage.assign(128, 0x34);
    c.modules.serialHost = {1, "x.bin"};
    setKeyName(c.modules, 0, "Zero");
    const auto bytes = serializeAppConfig(c);
    ASSERT_EQ(bytes.size(), 2555u);

    AppConfig defaults;
    defaults.assemblerPath = "default";
    using S = AppConfigSection;
    const std::pair<size_t, S> cases[] = {
        {0, S::Header},         {41, S::Header},       {42, S::AssemblerPath}, {44, S::AssemblerPath},
        {45, S::ModuleBlock},   {175, S::ModuleBlock}, {176, S::InputSources}, {210, S::InputSources},
        {211, S::MemoryImages}, {2386, S::MemoryImages}, {2387, S::SerialView}, {2389, S::SerialView},
        {2394, S::SerialView},  {2395, S::KeyNames},   {2554, S::KeyNames},    {2555, S::Done},
    };
    for (auto [length, expected] : cases) {
        SCOPED_TRACE(length);
        AppConfigRead read = parseAppConfig(std::span(bytes).first(length), defaults);
        EXPECT_EQ(read.missingFrom, expected);
        EXPECT_EQ(read.problem.empty(), expected == S::Done);
        const AppConfig& got = read.config;
        auto taken = [&](S section) { return expected > section; };
        EXPECT_EQ(got.run.numberOfSteps, taken(S::Header) ? 4 : 1);
        EXPECT_EQ(got.assemblerPath, taken(S::AssemblerPath) ? "asm" : "default");
        EXPECT_EQ(got.modules.LedDigitCount, taken(S::ModuleBlock) ? 3 : 0);
        EXPECT_EQ(got.inputSources[0], taken(S::InputSources) ? kInput1 : kInputNC);
        EXPECT_EQ(got.programImage.size(), taken(S::MemoryImages) ? 2048u : 0u);
        EXPECT_EQ(got.modules.serialHost.TransferFileName, taken(S::SerialView) ? "x.bin" : "");
        EXPECT_EQ(keyName(got.modules, 0), taken(S::KeyNames) ? "Zero" : "Key0");

        // Whatever was read applies without harm; no images means FFH.
        Machine m = machineFor(K::AT89C2051);
        RunSettings run;
        applyAppConfig(read.config, m, run);
        EXPECT_EQ(m.chip.code[0], taken(S::MemoryImages) ? 0x12 : 0xFF);
    }
    auto longer = bytes;
    longer.insert(longer.end(), {1, 2, 3});
    AppConfigRead read = parseAppConfig(longer, defaults);
    EXPECT_EQ(read.missingFrom, S::Done);
    EXPECT_EQ(read.trailingBytes, 3u);
    EXPECT_EQ(serializeAppConfig(read.config), bytes);
}

TEST(AppConfig, OutOfRangeFieldsAreCorrected) {
    struct Case {
        const char* what;
        std::vector<std::pair<size_t, uint8_t>> patch;
        std::function<bool(const AppConfig&)> check;
    };
    const Case cases[] = {
        {"kind 12", {{0, 12}}, [](const AppConfig& c) { return c.device.kind == K::AT89C2051; }},
        {"breakpoint kind 9", {{11, 9}}, [](const AppConfig& c) { return !c.run.breakpoint.isSet(); }},
        {"stored no-breakpoint 6", {{11, 6}}, [](const AppConfig& c) { return !c.run.breakpoint.isSet(); }},
        {"register 15 of 15", {{11, 0}, {16, 15}}, [](const AppConfig& c) { return !c.run.breakpoint.isSet(); }},
        {"register 14 of 15", {{11, 0}, {16, 14}},
         [](const AppConfig& c) { return c.run.breakpoint.type == BreakpointType::Register; }},
        {"flag 5 of 5", {{11, 3}, {17, 5}}, [](const AppConfig& c) { return !c.run.breakpoint.isSet(); }},
        {"clock 0", {{22, 0}, {23, 0}, {24, 0}, {25, 0}},
         [](const AppConfig& c) { return c.device.frequency == 12000000 && c.device.cycleTimeUs == 1.0f; }},
        {"seconds 0", {{29, 0}}, [](const AppConfig& c) { return c.run.execution.updateSeconds == 1; }},
        {"memory option 7", {{34, 7}},
         [](const AppConfig& c) { return c.device.programMode == ProgramMemoryMode::InternalOnly; }},
        {"start-up 1 means restore", {{36, 1}}, [](const AppConfig& c) { return c.run.memory.restoreAtStartup(); }},
    };
    const auto good = serializeAppConfig(AppConfig{});
    for (const Case& t : cases) {
        auto bytes = good;
        for (auto [offset, value] : t.patch) bytes[offset] = value;
        AppConfigRead read = parseAppConfig(bytes, AppConfig{});
        EXPECT_TRUE(t.check(read.config)) << t.what;
        // The device part reads the same way at frame creation.
        EXPECT_EQ(deviceConfigFromBytes(bytes).kind, read.config.device.kind) << t.what;
        EXPECT_EQ(deviceConfigFromBytes(bytes).frequency, read.config.device.frequency) << t.what;
    }
}

// Texts too long for their length byte are stored empty; length bytes that
// point past the end cut the file there.
TEST(AppConfig, LengthBytes) {
    AppConfig c;
    c.assemblerPath = std::string(256, 'p');
    c.modules.serialHost.TransferFileName = std::string(300, 'f');
    const auto bytes = serializeAppConfig(c);
    EXPECT_EQ(bytes[20], 0);
    EXPECT_EQ(bytes.size(), 42 + 131 + 35 + 2048 + 128 + 3 + 120u);
    AppConfig defaults;
    defaults.assemblerPath = "default";
    AppConfigRead read = parseAppConfig(bytes, defaults);
    EXPECT_EQ(read.missingFrom, AppConfigSection::Done);
    EXPECT_EQ(read.config.assemblerPath, "default");
    EXPECT_EQ(read.config.modules.serialHost.TransferFileName, "");

    auto pathTooLong = bytes;
    pathTooLong[20] = 255;
    EXPECT_EQ(parseAppConfig(std::span(pathTooLong).first(42 + 100), c).missingFrom,
              AppConfigSection::AssemblerPath);
    auto nameTooLong = bytes;
    nameTooLong[42 + 131 + 35 + 2048 + 128 + 2] = 200; // serial file name length
    EXPECT_EQ(parseAppConfig(nameTooLong, c).missingFrom, AppConfigSection::SerialView);
}

// Applying fits the configuration to the device: view starts beyond their
// memory start at zero, and breakpoints and lines it cannot have are dropped.
TEST(AppConfig, ApplyDropsWhatTheDeviceCannotHave) {
    Machine m = machineFor(K::AT89C2051); // 2K program, 128 bytes RAM, no external memory
    AppConfig c;
    c.programViewStart = 0x0800;
    c.externalViewStart = 0x0010;
    c.internalViewStart = 0x80;
    c.run.breakpoint = {BreakpointType::ExternalMemory, 0x10, 1, 0, 0};
    c.modules.LcdPins[kLcdE] = 0x25; // P2.5: not on a 20-pin device
    RunSettings run;
    applyAppConfig(c, m, run);
    EXPECT_EQ(c.programViewStart, 0);
    EXPECT_EQ(c.externalViewStart, 0);
    EXPECT_EQ(c.internalViewStart, 0);
    EXPECT_FALSE(run.breakpoint.isSet());
    EXPECT_EQ(m.modules.settings.LcdPins[kLcdE], 0x10);
    c.programViewStart = 0x07FF; // the last address stays
    applyAppConfig(c, m, run);
    EXPECT_EQ(c.programViewStart, 0x07FF);
}

// A register breakpoint stored for another device keeps its register (the
// device's list may number it differently), or goes with a message.
TEST(AppConfig, ApplyCarriesARegisterBreakpointToAnotherDevice) {
    struct Case {
        K stored, now;
        uint8_t index;        // in the stored device's list
        const char* expected; // status text on the new device
        bool message;
    } cases[] = {
        {K::AT89C52, K::AT89S8252, 13, "Break if PC = 0021H", false},
        {K::AT89S8252, K::AT89C52, 16, "Break if PC = 0021H", false},
        {K::AT89C52, K::AT89S8252, 4, "Break if DPTR0 = 0021H", false},
        {K::AT89S8252, K::AT89C52, 6, "No Breakpoint Set", true}, // DP1L
        {K::AT89C52, K::AT89C51, 0, "Break if ACC = 21H", false},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(breakpointStatusText({BreakpointType::Register, 0, 0x21, t.index, 0}, t.stored));
        Machine m = machineFor(t.now);
        AppConfig c;
        c.device.kind = t.stored;
        c.run.breakpoint = {BreakpointType::Register, 0, 0x21, t.index, 0};
        RunSettings run;
        const auto note = applyAppConfig(c, m, run);
        EXPECT_EQ(breakpointStatusText(run.breakpoint, t.now), t.expected);
        EXPECT_EQ(note.has_value(), t.message);
    }
}

TEST(AppConfig, AFailedWriteKeepsTheOldFileAndSaysSoOnStderr) {
    TempDir dir;
    const fs::path file = dir.path / "simulator.dat";
    AppConfig first;
    first.run.numberOfSteps = 3;
    ASSERT_TRUE(WriteAppConfig(file, first));
    AppConfig second = first;
    second.run.numberOfSteps = 4;
    ASSERT_TRUE(WriteAppConfig(file, second));
    EXPECT_EQ(readBytes(file), serializeAppConfig(second));
    EXPECT_EQ(dir.entries(), 1);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(WriteAppConfig(dir.path / "missing-folder" / "simulator.dat", second));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("could not write"), std::string::npos);
    EXPECT_EQ(readBytes(file), serializeAppConfig(second));
}

} // namespace
