// A snapshot of the whole machine as a value: the device selection and
// profile, the chip with every memory, SFR and hidden state (timers'
// counted-to cycle, the UART's and the serial line's shift state, the
// interrupt levels in service, EEPROM write and watchdog countdowns, pin
// settings and levels, the cycle counter), every part model with its
// settings (LCD with both memories and its bus and nibble state, LED digit
// memory, keypad, comparator voltages, IIC bus with EEPROM and clock, SPI
// EEPROM, serial host with its file and how far it got), the execution
// profile's counters, and the call stack attached to the machine.
//
// What a snapshot leaves out is what is not state of the machine: the
// non-owned pointers (the event receiver that the serial host's file
// transmission and the windows listen through, the wave recorder, the
// watchpoints and the call stack's own address). A restore keeps the
// target machine's own; the attached call stack gets the snapshot's frames.
// State that lives behind those pointers or outside the machine is not
// taken either: what the receiver keeps (the command-line runner's record
// of the UART, the pseudo-terminal bridge's read-ahead and write-behind
// queues, modules/uart_pty.h), the recorder's samples, the watchpoints'
// last hit, and the run controller's and debug session's own fields (run
// mode, breakpoints, the last run's counts).
//
// Every operation here walks the field tables of machine/snapshot_fields.h:
// taking, restoring, hashing, comparing and the byte form cannot disagree
// about which fields there are.
//
// The hash is over the byte form: fixed widths, little-endian, lengths
// before contents, no pointers or padding, so the same state gives the same
// 64-bit hash in any process on any machine.
//
// Thread: whichever thread may touch the machine (the simulation thread,
// or the user-interface thread while no run is active or under the pause
// guard).
#pragma once

#include "machine/call_stack.h"
#include "machine/machine.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

struct MachineSnapshot {
    Machine machine;     // its pointers are null
    CallStack callStack; // the one attached when taken; empty if none was
};

// Copies the machine's state into `into`, reusing its storage where the
// sizes agree (taking snapshots of one machine again and again allocates
// nothing once the first is taken).
void takeSnapshot(const Machine& machine, MachineSnapshot& into);
MachineSnapshot takeSnapshot(const Machine& machine);

// Puts the snapshot's state into `machine`, whose pointers stay its own.
// Running on from it is running on from the moment the snapshot was taken.
void restoreSnapshot(const MachineSnapshot& snapshot, Machine& machine);

// The 64-bit hash of the state (see above).
uint64_t snapshotHash(const MachineSnapshot& snapshot);
// The hash a snapshot of `machine` would have, without taking one.
uint64_t machineHash(const Machine& machine);

// The first field in which two snapshots differ, as a path
// ("machine.chip.periph.timers.countedTo"), or empty when they are equal.
std::string snapshotDifference(const MachineSnapshot& a, const MachineSnapshot& b);
inline bool operator==(const MachineSnapshot& a, const MachineSnapshot& b) {
    return snapshotDifference(a, b).empty();
}

// ---- the byte form (the payload of a snapshot file)

std::vector<uint8_t> encodeSnapshot(const MachineSnapshot& snapshot);
// Reads a byte form back. Every length is checked against what the device
// allows before anything is allocated, every enumeration and truth value
// against its range, and the result against the machine's invariants (the
// memories as large as their limits say, the models' counters and pointers
// within their ranges), so a snapshot it accepts is safe to run. On failure
// returns a message naming the field at fault; `into` is then unspecified.
std::optional<std::string> decodeSnapshot(std::span<const uint8_t> bytes, MachineSnapshot& into);

// The part models' settings alone in the same byte form (a change of them
// logged as an input from outside). Decoding refuses data of another
// length; on failure `into` is unspecified.
std::vector<uint8_t> encodeModuleSettings(const ModuleSettings& settings);
std::optional<std::string> decodeModuleSettings(std::span<const uint8_t> bytes,
                                                ModuleSettings& into);

// A hash of the field tables themselves (names, types, order): it changes
// whenever a field is added, removed, renamed, moved or given another type,
// so a byte form written by a build with other tables is known as such.
uint64_t snapshotLayoutFingerprint();

// The hash function itself, over any bytes (snapshotHash is this over the
// byte form).
uint64_t hashBytes(std::span<const uint8_t> bytes);

} // namespace quorvel
