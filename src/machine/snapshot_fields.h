// The field list of every struct that makes up the state of a machine: one
// table per struct, in declaration order, naming each data member. The
// snapshot's writer, reader, hash and comparison (snapshot.cpp) all walk
// these tables, so a field is either in all four or in none.
//
// Completeness is checked when this header compiles: for each struct the
// layout the table describes (its members' sizes and alignments, in order)
// must add up to the struct's own size. A member added to a struct without
// being added here makes the sums differ and the build fails with the
// struct's name. (A member small enough to hide in what was padding passes
// this check; the snapshot replay test, which compares restored machines
// with plain copies by the structs' own operator==, catches it.)
//
// Members that are not state - the non-owned pointers to the event
// receiver, the wave recorder, the call stack and the watchpoints - are
// listed as `skipped`: they count for the layout and are never written,
// read, hashed or compared, and a restore keeps the target's own.
#pragma once

#include "machine/call_stack.h"
#include "machine/machine.h"

#include <cstddef>
#include <tuple>
#include <type_traits>

namespace quorvel::snapshot_fields {

// A data member of S of type T. `maxLength` bounds a container (vector,
// string) when it is read back from a file: the most the device or the
// model allows. 0 for everything else.
template <class S, class T, bool Skipped = false> struct Field {
    using Struct = S;
    using Type = T;
    static constexpr bool skipped = Skipped;
    const char* name;
    T S::*member;
    std::size_t maxLength = 0;
};

template <class S, class T>
constexpr Field<S, T> field(const char* name, T S::*member, std::size_t maxLength = 0) {
    return {name, member, maxLength};
}
// Counts for the layout, but is no part of the state.
template <class S, class T> constexpr Field<S, T, true> skipped(const char* name, T S::*member) {
    return {name, member, 0};
}

// Specialised below for every state struct: `static constexpr auto fields`,
// a tuple of Field.
template <class S> struct FieldList;

template <class S>
concept HasFields = requires { FieldList<std::remove_const_t<S>>::fields; };

// The highest value an enumeration may hold (checked when reading).
constexpr unsigned enumLast(DeviceKind) { return kDeviceCount - 1; }
constexpr unsigned enumLast(ProgramMemoryMode) { return unsigned(ProgramMemoryMode::Both); }
constexpr unsigned enumLast(Transmit) { return unsigned(Transmit::Shifting); }
constexpr unsigned enumLast(Reception) { return unsigned(Reception::Receiving); }
constexpr unsigned enumLast(SpiTransfer) { return unsigned(SpiTransfer::External); }
constexpr unsigned enumLast(FileTransmissionStatus) {
    return unsigned(FileTransmissionStatus::Cancelled);
}

// Longest texts a snapshot carries: a path, a caption.
constexpr std::size_t kMaxText = 4096;
// Most commands a device profile disables.
constexpr std::size_t kMaxCommands = 4096;

// ---- the machine

template <> struct FieldList<DeviceSelection> {
    using S = DeviceSelection;
    static constexpr auto fields = std::make_tuple(
        field("kind", &S::kind), field("frequency", &S::frequency),
        field("cycleTimeUs", &S::cycleTimeUs), field("programMode", &S::programMode),
        field("externalSizeChoice", &S::externalSizeChoice), field("codeLimit", &S::codeLimit),
        field("xdataLimit", &S::xdataLimit));
};

template <> struct FieldList<DeviceProfile> {
    using S = DeviceProfile;
    static constexpr auto fields = std::make_tuple(
        field("ramSize", &S::ramSize), field("eeprom", &S::eeprom), field("dualDptr", &S::dualDptr),
        field("availablePinMask", &S::availablePinMask), field("caption", &S::caption, kMaxText),
        field("disabledCommands", &S::disabledCommands, kMaxCommands));
};

template <> struct FieldList<AddressCounts> {
    using S = AddressCounts;
    static constexpr auto fields =
        std::make_tuple(field("executions", &S::executions), field("cycles", &S::cycles));
};

template <> struct FieldList<CodeProfile> {
    using S = CodeProfile;
    static constexpr auto fields = std::make_tuple(field("counts", &S::counts, kCodeSpace),
                                                   field("vectoringCycles", &S::vectoringCycles));
};

template <> struct FieldList<Machine> {
    using S = Machine;
    static constexpr auto fields = std::make_tuple(
        field("selection", &S::selection), field("profile", &S::profile), field("chip", &S::chip),
        field("modules", &S::modules), field("codeProfile", &S::codeProfile),
        skipped("wave", &S::wave), skipped("callStack", &S::callStack),
        skipped("watchpoints", &S::watchpoints));
};

// ---- the chip

template <> struct FieldList<SfrSideState> {
    using S = SfrSideState;
    static constexpr auto fields = std::make_tuple(
        field("instructionAddress", &S::instructionAddress),
        field("serialReceiveBuffer", &S::serialReceiveBuffer),
        field("spiReceiveBuffer", &S::spiReceiveBuffer),
        field("spiTransmitShadow", &S::spiTransmitShadow));
};

template <> struct FieldList<PinState> {
    using S = PinState;
    static constexpr auto fields =
        std::make_tuple(field("setting", &S::setting), field("levels", &S::levels),
                        field("ncMask", &S::ncMask), field("pulseRequests", &S::pulseRequests));
};

template <class T, int N> struct FieldList<TransferLog<T, N>> {
    using S = TransferLog<T, N>;
    static constexpr auto fields = std::make_tuple(field("ring", &S::ring), field("head", &S::head),
                                                   field("count", &S::count));
};

template <> struct FieldList<SerialState> {
    using S = SerialState;
    static constexpr auto fields = std::make_tuple(
        field("txState", &S::txState), field("rxState", &S::rxState), field("txBits", &S::txBits),
        field("txBitTime", &S::txBitTime), field("txPhase", &S::txPhase),
        field("baudHalf", &S::baudHalf), field("rxTicks", &S::rxTicks), field("rxBits", &S::rxBits),
        field("rxBitTime", &S::rxBitTime), field("rxData", &S::rxData),
        field("rxNinth", &S::rxNinth), field("rxdLevel", &S::rxdLevel),
        field("rxdLast", &S::rxdLast), field("rxShift", &S::rxShift), field("rxOnes", &S::rxOnes),
        field("framingErrors", &S::framingErrors), field("lastTransmitted", &S::lastTransmitted),
        field("txLog", &S::txLog), field("rxLog", &S::rxLog));
};

template <> struct FieldList<SerialLineState> {
    using S = SerialLineState;
    static constexpr auto fields = std::make_tuple(
        field("baud", &S::baud), field("txFrame", &S::txFrame), field("txBitsLeft", &S::txBitsLeft),
        field("txNextBits", &S::txNextBits), field("txNext", &S::txNext),
        field("txEdge", &S::txEdge), field("txEdgeFraction", &S::txEdgeFraction),
        field("txBitTime", &S::txBitTime), field("txdLevel", &S::txdLevel),
        field("rxBitsLeft", &S::rxBitsLeft), field("rxFrameBits", &S::rxFrameBits),
        field("rxShift", &S::rxShift), field("rxSample", &S::rxSample),
        field("rxSampleFraction", &S::rxSampleFraction), field("rxBitTime", &S::rxBitTime),
        field("framingErrors", &S::framingErrors));
};

template <> struct FieldList<SpiState> {
    using S = SpiState;
    static constexpr auto fields = std::make_tuple(
        field("state", &S::state), field("bitsLeft", &S::bitsLeft),
        field("remainder", &S::remainder), field("slaveByte", &S::slaveByte),
        field("txLog", &S::txLog), field("rxLog", &S::rxLog));
};

template <> struct FieldList<InterruptState> {
    using S = InterruptState;
    static constexpr auto fields = std::make_tuple(field("inService", &S::inService));
};

template <> struct FieldList<TimerState> {
    using S = TimerState;
    static constexpr auto fields =
        std::make_tuple(field("countedTo", &S::countedTo), field("prevLevels", &S::prevLevels),
                        field("clockOutToggle", &S::clockOutToggle));
};

template <> struct FieldList<PeripheralState> {
    using S = PeripheralState;
    static constexpr auto fields = std::make_tuple(
        field("serial", &S::serial), field("line", &S::line), field("spi", &S::spi),
        field("irq", &S::irq), field("timers", &S::timers),
        field("eepromCountdown", &S::eepromCountdown),
        field("watchdogCountdown", &S::watchdogCountdown),
        field("watchdogEnabled", &S::watchdogEnabled));
};

template <> struct FieldList<ChipState> {
    using S = ChipState;
    static constexpr auto fields = std::make_tuple(
        field("pc", &S::pc), field("code", &S::code, 0x10000), field("codeLimit", &S::codeLimit),
        field("iram", &S::iram), field("sfrs", &S::sfrs), field("side", &S::side),
        field("xdata", &S::xdata, 0x10000), field("xdataLimit", &S::xdataLimit),
        field("eeprom", &S::eeprom, 2048), field("overlapEnabled", &S::overlapEnabled),
        field("overlapStart", &S::overlapStart), field("overlapEnd", &S::overlapEnd),
        field("cycles", &S::cycles), field("cyclesHigh", &S::cyclesHigh),
        field("eepromReady", &S::eepromReady), field("dualDptr", &S::dualDptr),
        field("cycleTimeUs", &S::cycleTimeUs), field("pins", &S::pins),
        field("periph", &S::periph), skipped("events", &S::events));
};

// ---- the parts

template <> struct FieldList<IicSettings> {
    using S = IicSettings;
    static constexpr auto fields = std::make_tuple(
        field("IicOptions", &S::IicOptions), field("RtcOptions", &S::RtcOptions),
        field("RtcInterrupt", &S::RtcInterrupt), field("EepromOptions", &S::EepromOptions),
        field("EepromType", &S::EepromType), field("IicScl", &S::IicScl),
        field("IicSda", &S::IicSda));
};

template <> struct FieldList<SpiSettings> {
    using S = SpiSettings;
    static constexpr auto fields = std::make_tuple(
        field("SpiOptions", &S::SpiOptions), field("SpiLines", &S::SpiLines),
        field("SpiEepromOptions", &S::SpiEepromOptions), field("SpiEepromCs", &S::SpiEepromCs));
};

template <> struct FieldList<SerialHostSettings> {
    using S = SerialHostSettings;
    static constexpr auto fields = std::make_tuple(
        field("SerialTransferMode", &S::SerialTransferMode),
        field("TransferFileName", &S::TransferFileName, kMaxText), field("HostBaud", &S::HostBaud));
};

template <> struct FieldList<ModuleSettings> {
    using S = ModuleSettings;
    static constexpr auto fields = std::make_tuple(
        field("LedLines", &S::LedLines), field("LedOptions", &S::LedOptions),
        field("LedSelectLevel", &S::LedSelectLevel), field("LedDigitCount", &S::LedDigitCount),
        field("LedSevenSegment", &S::LedSevenSegment), field("LedConnected", &S::LedConnected),
        field("LedConnectedSpare", &S::LedConnectedSpare),
        field("LedActiveHigh", &S::LedActiveHigh),
        field("LedActiveHighSpare", &S::LedActiveHighSpare), field("LcdPins", &S::LcdPins),
        field("LcdReserved", &S::LcdReserved), field("LcdOptions", &S::LcdOptions),
        field("KeypadType", &S::KeypadType), field("KeyMomentary", &S::KeyMomentary),
        field("KeyMomentaryLevel", &S::KeyMomentaryLevel), field("KeyToggle", &S::KeyToggle),
        field("KeypadLines", &S::KeypadLines), field("KeyNames", &S::KeyNames),
        field("iic", &S::iic), field("spi", &S::spi), field("serialHost", &S::serialHost));
};

template <> struct FieldList<LcdController> {
    using S = LcdController;
    static constexpr auto fields = std::make_tuple(
        field("displayMemory", &S::displayMemory), field("cgMemory", &S::cgMemory),
        field("addressCounter", &S::addressCounter), field("cgAddress", &S::cgAddress),
        field("displayShift", &S::displayShift), field("LcdDisplayFlags", &S::LcdDisplayFlags),
        field("LcdFunctionFlags", &S::LcdFunctionFlags), field("busyCounter", &S::busyCounter),
        field("eWasHigh", &S::eWasHigh), field("instructionByte", &S::instructionByte),
        field("dataByte", &S::dataByte),
        field("awaitingFirstInstruction", &S::awaitingFirstInstruction),
        field("changeCount", &S::changeCount));
};

template <> struct FieldList<KeypadState> {
    using S = KeypadState;
    static constexpr auto fields = std::make_tuple(
        field("KeypadPressed", &S::KeypadPressed), field("keyRow", &S::keyRow),
        field("keyColumn", &S::keyColumn), field("windowOpen", &S::windowOpen));
};

template <> struct FieldList<ComparatorState> {
    using S = ComparatorState;
    static constexpr auto fields = std::make_tuple(field("plusVoltage", &S::plusVoltage),
                                                   field("minusVoltage", &S::minusVoltage));
};

template <> struct FieldList<IicBusState> {
    using S = IicBusState;
    static constexpr auto fields = std::make_tuple(
        field("previousLevels", &S::previousLevels), field("bitCounter", &S::bitCounter),
        field("shiftRegister", &S::shiftRegister), field("byteIndex", &S::byteIndex),
        field("addressByte", &S::addressByte), field("wordAddress", &S::wordAddress),
        field("dataByte", &S::dataByte), field("sendByte", &S::sendByte),
        field("startSeen", &S::startSeen), field("stopSeen", &S::stopSeen),
        field("selected", &S::selected), field("masterAck", &S::masterAck),
        field("sdaDriven", &S::sdaDriven));
};

template <> struct FieldList<IicEepromState> {
    using S = IicEepromState;
    static constexpr auto fields = std::make_tuple(
        field("EepromMemory", &S::EepromMemory), field("EepromPointer", &S::EepromPointer),
        field("writeCountdown", &S::writeCountdown), field("written", &S::written));
};

template <> struct FieldList<RtcState> {
    using S = RtcState;
    static constexpr auto fields =
        std::make_tuple(field("RtcMemory", &S::RtcMemory), field("RtcPointer", &S::RtcPointer));
};

template <> struct FieldList<IicState> {
    using S = IicState;
    static constexpr auto fields =
        std::make_tuple(field("bus", &S::bus), field("eeprom", &S::eeprom), field("rtc", &S::rtc));
};

template <> struct FieldList<SpiEepromState> {
    using S = SpiEepromState;
    static constexpr auto fields = std::make_tuple(
        field("memory", &S::memory), field("status", &S::status), field("pointer", &S::pointer),
        field("instruction", &S::instruction), field("addressByte", &S::addressByte),
        field("dataByte", &S::dataByte), field("sendByte", &S::sendByte),
        field("shiftRegister", &S::shiftRegister), field("bitCounter", &S::bitCounter),
        field("byteCounter", &S::byteCounter), field("previousSck", &S::previousSck),
        field("previousCs", &S::previousCs), field("selected", &S::selected),
        field("written", &S::written), field("writeCountdown", &S::writeCountdown));
};

template <> struct FieldList<SerialHostState> {
    using S = SerialHostState;
    static constexpr auto fields = std::make_tuple(
        field("transmitByte", &S::transmitByte), field("receiveByte", &S::receiveByte),
        field("ninthBit", &S::ninthBit), field("fileBytes", &S::fileBytes, kMaxTransferFileSize),
        field("bytesSent", &S::bytesSent), field("transmitting", &S::transmitting),
        field("fileStatus", &S::fileStatus), field("saveFileNames", &S::saveFileNames, kMaxText));
};

template <> struct FieldList<ModuleState> {
    using S = ModuleState;
    static constexpr auto fields = std::make_tuple(
        field("settings", &S::settings), field("lcd", &S::lcd),
        field("ledDigitMemory", &S::ledDigitMemory), field("keypad", &S::keypad),
        field("comparator", &S::comparator), field("iic", &S::iic),
        field("spiEeprom", &S::spiEeprom), field("serialHost", &S::serialHost));
};

// ---- the debug session's call stack

template <> struct FieldList<CallFrame> {
    using S = CallFrame;
    static constexpr auto fields = std::make_tuple(
        field("site", &S::site), field("entry", &S::entry), field("returnTo", &S::returnTo),
        field("stackTop", &S::stackTop), field("interrupt", &S::interrupt));
};

template <> struct FieldList<CallStack> {
    using S = CallStack;
    static constexpr auto fields = std::make_tuple(
        field("frames", &S::frames_), field("depth", &S::depth_), field("resyncs", &S::resyncs_));
};

// ---- the layout check

constexpr std::size_t alignUp(std::size_t offset, std::size_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
}

// The size a struct with exactly the listed members, in the listed order,
// has under the usual layout rules.
template <class S> constexpr std::size_t listedLayoutSize() {
    std::size_t offset = 0;
    std::apply(
        [&](const auto&... f) {
            ((offset = alignUp(offset, alignof(typename std::remove_cvref_t<decltype(f)>::Type)) +
                       sizeof(typename std::remove_cvref_t<decltype(f)>::Type)),
             ...);
        },
        FieldList<S>::fields);
    return alignUp(offset, alignof(S));
}

#define QUORVEL_SNAPSHOT_COMPLETE(S)                                                              \
    static_assert(listedLayoutSize<S>() == sizeof(S),                                             \
                  #S " has a member that its table in machine/snapshot_fields.h does not list "    \
                     "(or lists out of order): add it there")

QUORVEL_SNAPSHOT_COMPLETE(DeviceSelection);
QUORVEL_SNAPSHOT_COMPLETE(DeviceProfile);
QUORVEL_SNAPSHOT_COMPLETE(AddressCounts);
QUORVEL_SNAPSHOT_COMPLETE(CodeProfile);
QUORVEL_SNAPSHOT_COMPLETE(Machine);
QUORVEL_SNAPSHOT_COMPLETE(SfrSideState);
QUORVEL_SNAPSHOT_COMPLETE(PinState);
QUORVEL_SNAPSHOT_COMPLETE(SerialLog);
QUORVEL_SNAPSHOT_COMPLETE(SpiLog);
QUORVEL_SNAPSHOT_COMPLETE(SerialState);
QUORVEL_SNAPSHOT_COMPLETE(SerialLineState);
QUORVEL_SNAPSHOT_COMPLETE(SpiState);
QUORVEL_SNAPSHOT_COMPLETE(InterruptState);
QUORVEL_SNAPSHOT_COMPLETE(TimerState);
QUORVEL_SNAPSHOT_COMPLETE(PeripheralState);
QUORVEL_SNAPSHOT_COMPLETE(ChipState);
QUORVEL_SNAPSHOT_COMPLETE(IicSettings);
QUORVEL_SNAPSHOT_COMPLETE(SpiSettings);
QUORVEL_SNAPSHOT_COMPLETE(SerialHostSettings);
QUORVEL_SNAPSHOT_COMPLETE(ModuleSettings);
QUORVEL_SNAPSHOT_COMPLETE(LcdController);
QUORVEL_SNAPSHOT_COMPLETE(KeypadState);
QUORVEL_SNAPSHOT_COMPLETE(ComparatorState);
QUORVEL_SNAPSHOT_COMPLETE(IicBusState);
QUORVEL_SNAPSHOT_COMPLETE(IicEepromState);
QUORVEL_SNAPSHOT_COMPLETE(RtcState);
QUORVEL_SNAPSHOT_COMPLETE(IicState);
QUORVEL_SNAPSHOT_COMPLETE(SpiEepromState);
QUORVEL_SNAPSHOT_COMPLETE(SerialHostState);
QUORVEL_SNAPSHOT_COMPLETE(ModuleState);
QUORVEL_SNAPSHOT_COMPLETE(CallFrame);
QUORVEL_SNAPSHOT_COMPLETE(CallStack);

#undef QUORVEL_SNAPSHOT_COMPLETE

// ---- walking an object

// Calls visit(name, member, maxLength) for each listed member of `object`
// that is state (a const object gives const members).
template <class S, class Visit> void forEachField(S& object, Visit&& visit) {
    std::apply(
        [&](const auto&... f) {
            auto one = [&](const auto& each) {
                if constexpr (!std::remove_cvref_t<decltype(each)>::skipped)
                    visit(each.name, object.*(each.member), each.maxLength);
            };
            (one(f), ...);
        },
        FieldList<std::remove_const_t<S>>::fields);
}

// The same over the matching members of two objects of one struct (either
// may be const).
template <class A, class B, class Visit>
    requires std::is_same_v<std::remove_const_t<A>, std::remove_const_t<B>>
void forEachFieldPair(A& a, B& b, Visit&& visit) {
    std::apply(
        [&](const auto&... f) {
            auto one = [&](const auto& each) {
                if constexpr (!std::remove_cvref_t<decltype(each)>::skipped)
                    visit(each.name, a.*(each.member), b.*(each.member));
            };
            (one(f), ...);
        },
        FieldList<std::remove_const_t<A>>::fields);
}

} // namespace quorvel::snapshot_fields
