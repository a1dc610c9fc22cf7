#include "settings/app_config.h"

#include "settings/module_block.h"
#include "settings/settings_io.h"

#include <algorithm>
#include <cstdio>

namespace quorvel {

RunSettings runSettingsOf(const RunController& run, const MemorySetting& memory) {
    return {run.numberOfSteps, run.breakpoint, run.execution, memory};
}

void applyRunSettings(const RunSettings& settings, RunController& run, MemorySetting& memory) {
    run.numberOfSteps = settings.numberOfSteps;
    run.breakpoint = settings.breakpoint;
    run.execution = settings.execution;
    memory = settings.memory;
}

AppConfig defaultAppConfig(const std::filesystem::path& resourceDir) {
    AppConfig config;
    config.assemblerPath = (resourceDir / "Assembler" / "asm51").string();
    return config;
}

size_t internalImageSize(DeviceKind kind) { return size_t(deviceInfo(kind).ramSize); }

namespace {

// ---------------------------------------------------------------- header

// One header field: where it is, how wide, and how it is taken from and put
// into an `AppConfig`. Values are put in raw; `checkHeader` corrects them.
struct HeaderField {
    uint8_t offset;
    uint8_t width; // 1, 2 or 4 bytes, big-endian
    uint32_t (*get)(const AppConfig&);
    void (*put)(AppConfig&, uint32_t); // null: derived when writing (the path length)
};

std::string storedText(const std::string& text) {
    return text.size() <= kMaxStoredTextLength ? text : std::string();
}

constexpr uint8_t kPathLengthOffset = 20;

#define QV_HEADER(offset, width, expression, assign)                                   \
    HeaderField{offset, width, [](const AppConfig& c) { return uint32_t(expression); }, \
                [](AppConfig& c, uint32_t v) { assign; }}

constexpr HeaderField kHeader[] = {
    QV_HEADER(0, 1, c.device.kind, c.device.kind = DeviceKind(v)),
    QV_HEADER(1, 2, c.run.numberOfSteps, c.run.numberOfSteps = uint16_t(v)),
    QV_HEADER(3, 2, c.externalViewStart, c.externalViewStart = uint16_t(v)),
    QV_HEADER(5, 2, c.internalViewStart, c.internalViewStart = uint16_t(v)),
    QV_HEADER(7, 2, c.programViewStart, c.programViewStart = uint16_t(v)),
    QV_HEADER(9, 2, c.registerViewPc, c.registerViewPc = uint16_t(v)),
    QV_HEADER(11, 1, c.run.breakpoint.type, c.run.breakpoint.type = BreakpointType(v)),
    QV_HEADER(12, 2, c.run.breakpoint.address, c.run.breakpoint.address = uint16_t(v)),
    QV_HEADER(14, 2, c.run.breakpoint.data, c.run.breakpoint.data = uint16_t(v)),
    QV_HEADER(16, 1, c.run.breakpoint.registerIndex, c.run.breakpoint.registerIndex = uint8_t(v)),
    QV_HEADER(17, 1, c.run.breakpoint.flagIndex, c.run.breakpoint.flagIndex = uint8_t(v)),
    QV_HEADER(18, 1, c.assemblerOptions, c.assemblerOptions = uint8_t(v)),
    QV_HEADER(19, 1, c.editorOption, c.editorOption = uint8_t(v)),
    HeaderField{kPathLengthOffset, 1,
                [](const AppConfig& c) { return uint32_t(storedText(c.assemblerPath).size()); }, nullptr},
    QV_HEADER(21, 1, c.run.execution.fromGivenAddress, c.run.execution.fromGivenAddress = v != 0),
    QV_HEADER(22, 4, c.device.frequency, c.device.frequency = v),
    QV_HEADER(26, 1, c.reservedA, c.reservedA = uint8_t(v)),
    QV_HEADER(27, 1, c.reservedB, c.reservedB = uint8_t(v)),
    QV_HEADER(28, 1, c.run.execution.screenUpdate, c.run.execution.screenUpdate = v != 0),
    QV_HEADER(29, 1, c.run.execution.updateSeconds, c.run.execution.updateSeconds = uint8_t(v)),
    QV_HEADER(30, 2, c.device.codeLimit, c.device.codeLimit = uint16_t(v)),
    QV_HEADER(32, 2, c.device.xdataLimit, c.device.xdataLimit = uint16_t(v)),
    QV_HEADER(34, 1, c.device.programMode, c.device.programMode = ProgramMemoryMode(v)),
    QV_HEADER(35, 1, c.run.memory.overlap, c.run.memory.overlap = uint8_t(v)),
    QV_HEADER(36, 1, c.run.memory.startupAction, c.run.memory.startupAction = uint8_t(v)),
    QV_HEADER(37, 1, c.run.memory.startupSelection, c.run.memory.startupSelection = uint8_t(v)),
    QV_HEADER(38, 2, c.run.memory.overlapStart, c.run.memory.overlapStart = uint16_t(v)),
    QV_HEADER(40, 2, c.run.memory.overlapEnd, c.run.memory.overlapEnd = uint16_t(v)),
};

#undef QV_HEADER

constexpr bool headerIsContiguous() {
    size_t next = 0;
    for (const HeaderField& f : kHeader) {
        if (f.offset != next) return false;
        next += f.width;
    }
    return next == kAppConfigHeaderSize;
}
static_assert(headerIsContiguous(), "header table must cover 42 bytes without gaps");

uint32_t bigEndian(std::span<const uint8_t> bytes) {
    uint32_t value = 0;
    for (uint8_t b : bytes) value = value << 8 | b;
    return value;
}

// Puts the fields that lie wholly within `header` into `config`, raw.
void decodeHeader(std::span<const uint8_t> header, AppConfig& config) {
    for (const HeaderField& f : kHeader)
        if (f.put && size_t(f.offset) + f.width <= header.size())
            f.put(config, bigEndian(header.subspan(f.offset, f.width)));
}

// Corrects the device fields that index tables or divide.
void checkDevice(DeviceSelection& device) {
    if (uint8_t(device.kind) >= kDeviceCount) device.kind = DeviceKind::AT89C2051;
    if (device.frequency == 0) device.frequency = DeviceSelection{}.frequency;
    if (uint8_t(device.programMode) > uint8_t(ProgramMemoryMode::Both))
        device.programMode = ProgramMemoryMode::InternalOnly;
    device.cycleTimeUs = machineCycleTimeUs(device.frequency);
    device.externalSizeChoice = uint8_t(initialSizeChoice(device.kind, device.programMode, device.codeLimit));
}

// Corrects every enumerated field of a raw header.
void checkHeader(AppConfig& config) {
    checkDevice(config.device);
    BreakpointCondition& b = config.run.breakpoint;
    const bool known = b.type < BreakpointType::None;
    const bool badRegister = b.type == BreakpointType::Register &&
                             b.registerIndex >= breakpointRegisters(config.device.kind).size();
    const bool badFlag = b.type == BreakpointType::Flag && b.flagIndex >= breakpointFlags().size();
    if (!known || badRegister || badFlag) b.type = BreakpointType::None;

    ExecutionSettings& e = config.run.execution;
    if (e.updateSeconds == 0 || e.updateSeconds > 99) e.updateSeconds = 1;

    MemorySetting& m = config.run.memory;
    if (m.overlap != 2) m.overlap = 0;
    if (m.startupAction != 0) m.startupAction = 2; // any non-zero value means restore
    m.startupSelection &= 0x77;
}

const char* sectionName(AppConfigSection section) {
    static const char* const names[] = {"header", "assembler path", "module settings",
                                        "port-line input sources", "memory images",
                                        "serial-port settings", "key names", ""};
    return names[size_t(section)];
}

// Sizes of the stored images, from the stored header (32-bit arithmetic: a
// highest address of FFFFH is a 64K image).
struct ImageSizes {
    size_t program, external, internal;
};
ImageSizes storedImageSizes(const AppConfig& config) {
    return {size_t(config.device.codeLimit) + 1,
            config.device.xdataLimit == 0 ? 0 : size_t(config.device.xdataLimit) + 1,
            internalImageSize(config.device.kind)};
}

void writeImage(ByteWriter& out, const std::vector<uint8_t>& image, size_t size) {
    const size_t kept = std::min(size, image.size());
    out.bytes(std::span(image.data(), kept));
    out.fill(0xFF, size - kept);
}

} // namespace

// ---------------------------------------------------------------- reading

DeviceSelection deviceConfigFromBytes(std::span<const uint8_t> data) {
    AppConfig config;
    if (data.size() >= kDeviceConfigSize) decodeHeader(data.first(kDeviceConfigSize), config);
    checkDevice(config.device);
    return config.device;
}

DeviceSelection ReadDeviceConfig(const std::filesystem::path& file) {
    const auto data = readWholeFile(file);
    return deviceConfigFromBytes(data ? std::span<const uint8_t>(*data) : std::span<const uint8_t>());
}

AppConfigRead parseAppConfig(std::span<const uint8_t> data, const AppConfig& defaults) {
    AppConfigRead result;
    result.found = true;
    AppConfig c = defaults;
    ByteReader in(data);
    AppConfigSection section = AppConfigSection::Header;

    // Each section is read whole or not at all; the first one cut ends the read.
    auto read = [&](AppConfigSection next, auto&& body) {
        if (section != next) return; // an earlier section was cut
        if (body()) section = AppConfigSection(uint8_t(next) + 1);
    };

    size_t pathLength = 0;
    read(AppConfigSection::Header, [&] {
        auto header = in.bytes(kAppConfigHeaderSize);
        if (!in.ok()) return false;
        decodeHeader(header, c);
        checkHeader(c);
        pathLength = header[kPathLengthOffset];
        return true;
    });
    read(AppConfigSection::AssemblerPath, [&] {
        auto path = in.bytes(pathLength);
        if (!in.ok()) return false;
        if (pathLength > 0) c.assemblerPath.assign(path.begin(), path.end()); // 0: keep the default
        return true;
    });
    read(AppConfigSection::ModuleBlock, [&] {
        auto block = in.bytes(kModuleBlockSize);
        if (!in.ok()) return false;
        decodeModuleBlock(block.first<kModuleBlockSize>(), c.modules);
        return true;
    });
    read(AppConfigSection::InputSources, [&] {
        auto sources = in.bytes(kInputSourceCount);
        if (!in.ok()) return false;
        std::copy(sources.begin(), sources.end(), c.inputSources.begin());
        return true;
    });
    read(AppConfigSection::MemoryImages, [&] {
        const ImageSizes sizes = storedImageSizes(c);
        auto program = in.bytes(sizes.program);
        auto external = in.bytes(sizes.external);
        auto internal = in.bytes(sizes.internal);
        if (!in.ok()) return false;
        c.programImage.assign(program.begin(), program.end());
        c.externalImage.assign(external.begin(), external.end());
        c.internalImage.assign(internal.begin(), internal.end());
        return true;
    });
    read(AppConfigSection::SerialView, [&] {
        const uint8_t mode = in.u8();
        in.u8(); // the transmitting flag: a file is never open after a restart
        auto name = in.bytes(in.u8());
        if (!in.ok()) return false;
        c.modules.serialHost.SerialTransferMode = mode;
        c.modules.serialHost.TransferFileName.assign(name.begin(), name.end());
        return true;
    });
    read(AppConfigSection::KeyNames, [&] { return readKeyNames(in, c.modules); });

    result.missingFrom = section;
    if (section == AppConfigSection::Done) {
        result.trailingBytes = in.remaining();
        if (result.trailingBytes > 0)
            result.problem = "settings file has " + std::to_string(result.trailingBytes) +
                             " bytes after its end; they are ignored";
    } else {
        result.problem = std::string("settings file ends inside its ") + sectionName(section) +
                         "; the rest takes its defaults";
    }
    result.config = std::move(c);
    return result;
}

AppConfigRead ReadAppConfig(const std::filesystem::path& file, const AppConfig& defaults) {
    const auto data = readWholeFile(file);
    if (!data) {
        AppConfigRead missing;
        missing.config = defaults;
        return missing;
    }
    return parseAppConfig(*data, defaults);
}

// ---------------------------------------------------------------- applying

std::optional<UserMessage> applyAppConfig(AppConfig& config, Machine& machine, RunSettings& run) {
    ChipState& chip = machine.chip;
    run = config.run;
    std::optional<UserMessage> note;
    const std::string stored = breakpointStatusText(run.breakpoint, config.device.kind);
    if (!carryBreakpointOver(run.breakpoint, config.device.kind, machine.selection.kind))
        note = UserMessage{"Breakpoint",
                           "The breakpoint \"" + stored + "\" was set on the " +
                               deviceInfo(config.device.kind).captionName + ", whose register is not on the " +
                               deviceInfo(machine.selection.kind).captionName + ".\nIt has been removed.",
                           UserMessage::Icon::Information};
    dropUnavailableBreakpoint(run.breakpoint, chip.hasXdata());
    applyOverlap(chip, run.memory);

    ModuleSettings& modules = machine.modules.settings;
    modules = config.modules;
    replaceUnavailableLines(modules, machine.profile.availablePinMask);
    // The stored input sources; a line with an unknown value is left
    // unconnected, as every line starts. P3.6 of the 20-pin parts is the
    // comparator's output, which no setting drives.
    constexpr int kComparatorOutput = 30;
    const bool comparatorOutput = !machine.selection.info().has40Pins();
    for (int i = 0; i < 32; ++i) {
        const uint8_t source = config.inputSources[size_t(i)];
        if (source <= kInputPulse && !(comparatorOutput && i == kComparatorOutput)) chip.pins.setSetting(i, source);
    }
    chip.pins.applySettings(chip.portLatches());

    // Memories.
    const size_t ramSize = size_t(machine.profile.ramSize);
    auto fillProgram = [&] { std::fill(chip.code.begin(), chip.code.end(), 0xFF); };
    auto fillExternal = [&] { std::fill(chip.xdata.begin(), chip.xdata.end(), 0xFF); };
    auto fillInternal = [&] { chip.iram.fill(0xFF); };
    const bool imagesStored = !config.programImage.empty() && !config.internalImage.empty();
    if (config.device.kind != machine.selection.kind || !imagesStored) {
        fillProgram();
        fillExternal();
        fillInternal();
        std::fill(chip.eeprom.begin(), chip.eeprom.end(), 0xFF);
    } else {
        // An image is restored only into a memory of the size it was saved
        // from; a memory whose size changed since starts as FFH.
        auto restore = [](const std::vector<uint8_t>& image, auto memoryBegin, size_t size, auto fill) {
            if (image.size() == size && size > 0)
                std::copy(image.begin(), image.end(), memoryBegin);
            else
                fill();
        };
        const StartupPlan plan = startupPlan(run.memory);
        auto act = [](StartupMemoryAction action, auto restoreIt, auto fill) {
            if (action == StartupMemoryAction::Restore) restoreIt();
            if (action == StartupMemoryAction::Clear) fill();
        };
        act(plan.program, [&] { restore(config.programImage, chip.code.begin(), chip.code.size(), fillProgram); },
            fillProgram);
        if (chip.hasXdata())
            act(plan.external,
                [&] { restore(config.externalImage, chip.xdata.begin(), chip.xdata.size(), fillExternal); },
                fillExternal);
        act(plan.internal, [&] { restore(config.internalImage, chip.iram.begin(), ramSize, fillInternal); },
            fillInternal);
    }

    // View start addresses beyond the memories they show start at 0.
    if (config.programViewStart > chip.codeLimit) config.programViewStart = 0;
    if (config.externalViewStart > chip.xdataLimit) config.externalViewStart = 0;
    if (config.internalViewStart > ramSize - 1) config.internalViewStart = 0;
    return note;
}

// ---------------------------------------------------------------- writing

void captureAppConfig(AppConfig& config, const Machine& machine, const RunSettings& run) {
    const ChipState& chip = machine.chip;
    config.device = machine.selection;
    config.run = run;
    config.modules = machine.modules.settings;
    std::copy(chip.pins.setting.begin(), chip.pins.setting.end(), config.inputSources.begin());
    config.programImage = chip.code;
    config.externalImage = chip.xdata;
    const size_t ramSize = internalImageSize(machine.selection.kind);
    config.internalImage.assign(chip.iram.begin(), chip.iram.begin() + ptrdiff_t(ramSize));
}

std::vector<uint8_t> serializeAppConfig(const AppConfig& config) {
    ByteWriter out;
    for (const HeaderField& f : kHeader) {
        const uint32_t value = f.get(config);
        for (int shift = 8 * (f.width - 1); shift >= 0; shift -= 8) out.u8(uint8_t(value >> shift));
    }
    out.bytes(storedText(config.assemblerPath));
    out.bytes(encodeModuleBlock(config.modules));
    out.bytes(config.inputSources);

    const ImageSizes sizes = storedImageSizes(config);
    writeImage(out, config.programImage, sizes.program);
    writeImage(out, config.externalImage, sizes.external);
    writeImage(out, config.internalImage, sizes.internal);

    const SerialHostSettings& serial = config.modules.serialHost;
    const std::string fileName = storedText(serial.TransferFileName);
    out.u8(serial.SerialTransferMode);
    out.u8(0); // not transmitting: the file is not open after a restart
    out.u8(uint8_t(fileName.size()));
    out.bytes(fileName);

    writeKeyNames(out, config.modules);
    return out.take();
}

bool WriteAppConfig(const std::filesystem::path& file, const AppConfig& config) {
    const std::vector<uint8_t> bytes = serializeAppConfig(config);
    if (writeFileAtomically(file, bytes)) return true;
    std::fprintf(stderr, "Quorvel Simulator: could not write %s; the previous settings file is kept\n",
                 file.string().c_str());
    return false;
}

} // namespace quorvel
