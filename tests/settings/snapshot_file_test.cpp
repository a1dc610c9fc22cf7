// Snapshot files: a damaged, cut, foreign or newer file is refused with a
// message naming what is wrong and leaves the snapshot read into as it
// was; a sound one comes back equal.
#include "settings/snapshot_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace quorvel;
using namespace quorvel::support;

namespace {

// A snapshot with something in every kind of field: memories, the
// serial host's file, a part's state, the call stack's words.
MachineSnapshot sample() {
    Machine m = makeMachine(DeviceKind::AT89S8252, 12000000, 0x1FFF, 0x7FFF);
    for (size_t i = 0; i < m.chip.xdata.size(); ++i) m.chip.xdata[i] = uint8_t(i * 7);
    m.chip.periph.serial.txLog.append(0x41);
    m.modules.serialHost.fileBytes = {1, 2, 3};
    m.modules.lcd.cgAddress = 63;
    return takeSnapshot(m);
}

// A file of a snapshot that was changed after it was taken (the writer
// checks nothing), or of byte form `payload`, with a right checksum.
std::vector<uint8_t> sealed(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> file = encodeSnapshotFile(sample());
    file.resize(kSnapshotHeaderSize);
    const uint64_t length = payload.size(), checksum = hashBytes(payload);
    for (int i = 0; i < 8; ++i) {
        file[size_t(20 + i)] = uint8_t(length >> (56 - 8 * i));
        file[size_t(28 + i)] = uint8_t(checksum >> (56 - 8 * i));
    }
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
}
std::vector<uint8_t> changed(const std::function<void(MachineSnapshot&)>& change) {
    MachineSnapshot s = sample();
    change(s);
    return sealed(encodeSnapshot(s));
}
std::vector<uint8_t> payloadChanged(const std::function<void(std::vector<uint8_t>&)>& change) {
    std::vector<uint8_t> payload = encodeSnapshot(sample());
    change(payload);
    return sealed(payload);
}

TEST(SnapshotFile, RefusesDamagedFilesWithAMessageAndChangesNothing) {
    const std::vector<uint8_t> good = encodeSnapshotFile(sample());
    auto edited = [&](const std::function<void(std::vector<uint8_t>&)>& change) {
        std::vector<uint8_t> file = good;
        change(file);
        return file;
    };
    const size_t last = good.size() - 1;
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        const char* message;
    } rows[] = {
        {"empty", {}, "not a snapshot file"},
        {"a HEX file",
         {':', '0', '0', '0', '0', '0', '0', '0', '1', 'F', 'F'},
         "not a snapshot file"},
        {"signature changed", edited([](auto& f) { f[3] ^= 1; }), "not a snapshot file"},
        {"newer version", edited([](auto& f) { f[11] = 2; }),
         "version 2, which this program cannot read"},
        {"other fields", edited([](auto& f) { f[15] ^= 1; }),
         "whose machine state has other fields"},
        {"cut in the header", edited([](auto& f) { f.resize(30); }), "ends inside its header"},
        {"cut in the data", edited([](auto& f) { f.erase(f.end() - 100, f.end()); }),
         "truncated: the header announces"},
        {"bytes after the data", edited([](auto& f) { f.push_back(0); }), "1 bytes follow"},
        {"a bit flipped in the data", edited([&](auto& f) { f[last / 2] ^= 0x10; }), "checksum"},
        {"a bit flipped in the checksum", edited([](auto& f) { f[35] ^= 1; }), "checksum"},
        {"code longer than any device",
         changed([](auto& s) { s.machine.chip.code.resize(0x10001); }),
         "machine.chip.code holds 65537 entries, more than the 65536 it may"},
        {"code shorter than its limit", changed([](auto& s) { s.machine.chip.code.resize(100); }),
         "machine.chip.code holds 100 bytes for a code limit of 8191"},
        {"unknown device", changed([](auto& s) { s.machine.selection.kind = DeviceKind(10); }),
         "machine.selection.kind holds 10, beyond its last value 9"},
        {"character address past its memory",
         changed([](auto& s) { s.machine.modules.lcd.cgAddress = 64; }),
         "machine.modules.lcd.cgAddress holds 64, outside 0 to 63"},
        {"IIC line levels beyond SCL and SDA",
         changed([](auto& s) { s.machine.modules.iic.bus.previousLevels = 35; }),
         "machine.modules.iic.bus.previousLevels holds 35, outside 0 to 3"},
        {"file position past the file",
         changed([](auto& s) { s.machine.modules.serialHost.bytesSent = 4; }),
         "machine.modules.serialHost.bytesSent holds 4, outside 0 to 3"},
        {"no cycle time", changed([](auto& s) { s.machine.chip.cycleTimeUs = NAN; }),
         "machine-cycle time"},
        {"a cycle time no clock gives", changed([](auto& s) { s.machine.chip.cycleTimeUs = 1e-4f; }),
         "machine-cycle time"},
        // The byte form ends with the call stack: 128 frames of 8 bytes (the
        // interrupt flag last), the depth and the resync count.
        {"truth value 2", payloadChanged([](auto& p) { p[p.size() - 9] = 2; }),
         "callStack.frames.interrupt holds 2, not a truth value"},
        {"call stack deeper than the stack", payloadChanged([](auto& p) { p[p.size() - 8] = 200; }),
         "callStack.depth holds 200, outside 0 to 128"},
        {"cut and sealed again", payloadChanged([](auto& p) { p.pop_back(); }),
         "the data ends inside callStack.resyncs"},
        {"grown and sealed again", payloadChanged([](auto& p) { p.push_back(0); }),
         "1 bytes follow the last field"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MachineSnapshot into = takeSnapshot(makeMachine());
        const uint64_t before = snapshotHash(into);
        const auto problem = parseSnapshotFile(row.file, into);
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(row.message), std::string::npos) << *problem;
        EXPECT_EQ(snapshotHash(into), before) << "the snapshot read into changed";
    }
}

TEST(SnapshotFile, SavedAndLoadedThroughTheFileSystem) {
    TempDir dir;
    const MachineSnapshot saved = sample();
    ASSERT_FALSE(saveSnapshotFile(dir / "a.qsnap", saved));
    MachineSnapshot loaded;
    ASSERT_FALSE(loadSnapshotFile(dir / "a.qsnap", loaded));
    EXPECT_EQ(snapshotDifference(loaded, saved), "");
    EXPECT_EQ(snapshotHash(loaded), snapshotHash(saved));
    EXPECT_EQ(dir.entries(), 1) << "no temporary file left";

    const auto missingFolder = saveSnapshotFile(dir / "none" / "b.qsnap", saved);
    ASSERT_TRUE(missingFolder);
    EXPECT_NE(missingFolder->find("Unable to write the snapshot file"), std::string::npos);

    const auto missing = loadSnapshotFile(dir / "c.qsnap", loaded);
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("no such file"), std::string::npos) << *missing;
    // A length beyond any snapshot is refused before it is read.
    std::filesystem::resize_file(dir / "a.qsnap", kMaxSnapshotFileSize + 1);
    const auto huge = loadSnapshotFile(dir / "a.qsnap", loaded);
    ASSERT_TRUE(huge);
    EXPECT_NE(huge->find("larger than"), std::string::npos) << *huge;
    EXPECT_EQ(snapshotHash(loaded), snapshotHash(saved)) << "a refused file changes nothing";
}

} // namespace
