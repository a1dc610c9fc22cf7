// The application configuration file (simulator.dat): everything that
// survives a restart. Written at every shutdown, read at every start.
//
// Layout, all numbers big-endian: a 42-byte header (device, run and
// breakpoint settings, view start addresses, assembler options, clock,
// memory sizes and options), the assembler path, the 131-byte module block,
// 35 port-line input-source bytes, the program, external (when present) and
// internal data memory images, the serial-view settings and the key names.
//
// Reading is split in two so that nothing is half applied: `ReadAppConfig`
// parses a whole file into an `AppConfig` value (checking every length and
// enumerated field), and `applyAppConfig` puts a complete value into the
// machine and the run settings. `captureAppConfig` does the opposite for
// `WriteAppConfig`. Where the file lives is the caller's business.
#pragma once

#include "machine/breakpoint.h"
#include "chip/device.h"
#include "machine/machine.h"
#include "debug/run_controller.h"
#include "modules/module_settings.h"
#include "tools/memory_setting.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

constexpr size_t kAppConfigHeaderSize = 42;
constexpr size_t kDeviceConfigSize = 35; // the header bytes taken at frame creation
constexpr size_t kInputSourceCount = 35; // 32 pin settings, then 3 spare bytes
constexpr size_t kMaxStoredTextLength = 255; // one length byte

// The run, breakpoint and memory settings the file keeps; the run controller
// holds the first three, the Memory Setting dialog's owner the last.
struct RunSettings {
    uint16_t numberOfSteps = 1;
    BreakpointCondition breakpoint; // "no breakpoint" until one is set
    ExecutionSettings execution;    // the given start address itself is not stored
    MemorySetting memory;

    bool operator==(const RunSettings&) const = default;
};
RunSettings runSettingsOf(const RunController& run, const MemorySetting& memory);
void applyRunSettings(const RunSettings& settings, RunController& run, MemorySetting& memory);

struct AppConfig {
    // ---- header fields owned by core types
    // Kind (offset 0), clock (22), highest program (30) and external (32)
    // addresses, memory option (34).
    DeviceSelection device;
    // Steps (1), breakpoint (11-17), start-address choice (21), screen update
    // (28, 29), overlap and start-up memory choice (35-41).
    RunSettings run;

    // ---- header fields the GUI fills and reads
    uint16_t externalViewStart = 0; // 3
    uint16_t internalViewStart = 0; // 5
    uint16_t programViewStart = 0;  // 7
    uint16_t registerViewPc = 0;    // 9: the PC as the register view shows it
    uint8_t assemblerOptions = 0x3F; // 18: all six options on
    uint8_t editorOption = 0;        // 19: stored and read back only
    uint8_t reservedA = 0;           // 26: stored and read back only
    uint8_t reservedB = 0;           // 27: stored and read back only
    std::string assemblerPath;       // UTF-8; stored as empty when longer than 255 bytes

    // ---- body
    ModuleSettings modules; // the block, the key names and the serial host settings
    // Every line unconnected ("NC") until a stored setting says otherwise.
    std::array<uint8_t, kInputSourceCount> inputSources = [] {
        std::array<uint8_t, kInputSourceCount> sources{};
        sources.fill(kInputNC);
        return sources;
    }();
    // Memory images as stored: program (highest program address + 1 bytes),
    // external (highest external address + 1, none when that address is 0),
    // internal (the RAM size of the stored device). Empty when not read.
    std::vector<uint8_t> programImage;
    std::vector<uint8_t> externalImage;
    std::vector<uint8_t> internalImage;

    bool operator==(const AppConfig&) const = default;
};

// The defaults of a first start: everything as default-constructed, the
// assembler the one under `resourceDir`.
AppConfig defaultAppConfig(const std::filesystem::path& resourceDir);

// Size of the stored internal data memory image: the device's RAM size.
size_t internalImageSize(DeviceKind kind);

// ---- reading

// Frame creation: device kind, clock, highest program and external address
// and memory option from the first 35 bytes. Without a file (or with a
// shorter one) the defaults: kind 0, 12 MHz, memory option 0, no external
// data memory. A kind above 9 becomes 0, a clock of 0 becomes 12 MHz, a
// memory option above 2 becomes 0.
DeviceSelection ReadDeviceConfig(const std::filesystem::path& file);
DeviceSelection deviceConfigFromBytes(std::span<const uint8_t> data);

// The file's sections in order; a read stops at the first one that is cut.
enum class AppConfigSection : uint8_t {
    Header, AssemblerPath, ModuleBlock, InputSources, MemoryImages, SerialView, KeyNames, Done,
};

struct AppConfigRead {
    AppConfig config;
    bool found = false; // the file exists and could be read
    // The first section that was missing or cut (Done when the file was read
    // whole). That section and all after it keep the defaults.
    AppConfigSection missingFrom = AppConfigSection::Header;
    size_t trailingBytes = 0; // bytes after the key names, ignored
    std::string problem;      // one line for standard error; empty when all is well
};

// Parses a file's bytes on top of `defaults`: fields of every section read
// whole replace the defaults (enumerated fields out of range are corrected:
// kind -> 0, breakpoint -> none, clock 0 -> 12 MHz, seconds 0 -> 1), the
// sections from the first cut one on keep them.
AppConfigRead parseAppConfig(std::span<const uint8_t> data, const AppConfig& defaults);
// Reads the file; a missing file gives the defaults with `found` false.
AppConfigRead ReadAppConfig(const std::filesystem::path& file, const AppConfig& defaults);

// Start-up, after the device dialog and `configureMachine`: puts the run
// settings, the module settings and the memories into place and range-checks
// the view start addresses in `config`.
//  - Memories: when the stored device differs from the selected one (or the
//    file held no images) program, external, internal memory and the EEPROM
//    are filled with FFH. Otherwise with "restore" each memory whose restore
//    bit is set gets its image, provided the stored image has the memory's
//    current size (else it is filled with FFH); with "clear" the memories whose
//    clear bits are set are filled with FFH.
//  - Module lines outside `AvailablePinMask` become P1.0; every port line goes
//    to input "0" and the levels are applied (the stored input sources are not
//    used); the overlap window goes into the chip; an external-memory
//    breakpoint without external data memory is switched off; a register
//    breakpoint stored for another device keeps its register by name, or is
//    switched off when the device lacks it (the returned message says so).
// The device selection (kind, clock, sizes) is not changed.
std::optional<UserMessage> applyAppConfig(AppConfig& config, Machine& machine, RunSettings& run);

// ---- writing

// Fills the fields owned by core types from the machine and the run settings;
// the GUI fields of `config` stay as they are. The external image is taken
// from whatever external memory is allocated, so a caller that removed it for
// a while can store the configured limit in `config.device.xdataLimit`.
void captureAppConfig(AppConfig& config, const Machine& machine, const RunSettings& run);

// The file's bytes. Images are written at exactly the sizes the header names
// (a shorter image is padded with FFH); a path or file name longer than 255
// bytes is written as empty.
std::vector<uint8_t> serializeAppConfig(const AppConfig& config);
// Writes the file atomically (the previous file stays on failure). Nothing is
// shown to the user; a failure is reported as one line on standard error.
bool WriteAppConfig(const std::filesystem::path& file, const AppConfig& config);

} // namespace quorvel
