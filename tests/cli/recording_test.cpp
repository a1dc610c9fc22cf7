// quorvel-cli --record and --replay: a C program's run recorded in one
// process replays in another to the very same report (state hash, dumps,
// call stack, the last write to a variable with its source line); a replay
// to a cycle equals a run that stopped there; recordings that are cut
// short, damaged, of another version or build, or no recording at all are
// refused with a message.
#include "test_support.h"

#include "machine/snapshot.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>

using namespace quorvel;
using namespace quorvel::support;
using Json = nlohmann::json;

namespace {

struct CliRecording : testing::Test {
    TempDir dir;
    std::string source = readFile(std::string(QUORVEL_TEST_DATA) + "/source_steps.c");

    void SetUp() override { ASSERT_TRUE(compileC(dir.path, "steps", source, {"--debug"})); }
    std::string at(const std::string& mark) {
        const size_t pos = source.find("mark:" + mark + " ");
        return std::to_string(std::count(source.begin(), source.begin() + long(pos), '\n') + 1);
    }
    ProcessResult cli(const std::vector<std::string>& args) {
        return runProcess(dir.path, cliProgram(), args);
    }
};

TEST_F(CliRecording, ARecordedRunReplaysToTheSameReportInAFreshProcess) {
    const std::vector<std::string> report = {"--source-map", "steps.cdb", "--json", "--dump", "iram",
                                             "--dump", "sfr", "--last-write", "count"};
    std::vector<std::string> record = {"steps.hex", "--record", "run.qrec", "--max-steps", "3000"};
    record.insert(record.end(), report.begin(), report.end());
    const ProcessResult recorded = cli(record);
    ASSERT_EQ(recorded.status, 3) << recorded.err;
    const Json json = Json::parse(recorded.out);
    const Json& write = json.at("last_write");
    EXPECT_EQ(write.at("file"), "steps.c");
    EXPECT_EQ(write.at("line"), std::stoi(at("bump")));
    // The loop adds 0, 1 and 2.
    EXPECT_EQ(write.at("old"), 1);
    EXPECT_EQ(write.at("new"), 3);

    std::vector<std::string> replay = {"--replay", "run.qrec"};
    replay.insert(replay.end(), report.begin(), report.end());
    const ProcessResult replayed = cli(replay);
    EXPECT_EQ(replayed.status, 3) << replayed.err;
    EXPECT_EQ(replayed.out, recorded.out);

    // Back to the moment of that write: the state a run stopped there has.
    const std::string cycle = std::to_string(write.at("cycle").get<uint64_t>());
    const ProcessResult back = cli({"--replay", "run.qrec", "--to-cycle", cycle, "--json"});
    const ProcessResult there =
        cli({"steps.hex", "--record", "there.qrec", "--max-cycles", cycle, "--json"});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Json::parse(back.out).at("state_hash"), Json::parse(there.out).at("state_hash"));
    EXPECT_EQ(Json::parse(back.out).at("cycles"), write.at("cycle"));

    // A recording that cannot be written fails the run and says why.
    std::filesystem::create_directory(dir / "folder.qrec");
    const ProcessResult unwritable = cli({"steps.hex", "--record", "folder.qrec", "--max-steps", "10"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Unable to write the recording file folder.qrec"), std::string::npos)
        << unwritable.err;
}

// Header: signature 0-7, version 8-11, layout 12-19, length 20-27, checksum
// 28-35; then the data, whose byte 44 is the run's stop and 45-48 the count
// of snapshots. `reseal` puts a checksum that matches the data back.
TEST_F(CliRecording, RecordingsThatAreNotWholeOrNotOursAreRefused) {
    ASSERT_EQ(cli({"steps.hex", "--record", "good.qrec", "--max-steps", "2000"}).status, 3);
    const std::vector<uint8_t> good = readBytes(dir / "good.qrec");
    ASSERT_GT(good.size(), 100u);
    const auto reseal = [](std::vector<uint8_t>& f) {
        const uint64_t sum = hashBytes(std::span(f).subspan(36));
        for (int i = 0; i < 8; ++i) f[28 + size_t(i)] = uint8_t(sum >> (56 - 8 * i));
    };
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* message;
    } rows[] = {
        {"empty", [](auto& f) { f.clear(); }, "not a recording"},
        {"a program", [&](auto& f) { f = readBytes(dir / "steps.hex"); }, "not a recording"},
        {"cut in the header", [](auto& f) { f.resize(20); }, "truncated: the file ends inside its header"},
        {"cut in the data", [](auto& f) { f.resize(f.size() - 7); }, "truncated: the header announces"},
        {"bytes after it", [](auto& f) { f.push_back(0); }, "damaged: 1 bytes follow"},
        {"a byte changed", [](auto& f) { f[f.size() / 2] ^= 0x10; }, "corrupted: the checksum"},
        {"another version", [](auto& f) { f[11] = 2; }, "a recording of version 2"},
        {"another build", [](auto& f) { f[19] ^= 1; }, "written by a build whose machine state has other fields"},
        {"an unknown stop", [&](auto& f) { f[36 + 44] = 99, reseal(f); }, "damaged: the run's stop 99 is unknown"},
        {"no snapshots", [&](auto& f) { std::fill_n(f.begin() + 36 + 45, 4, 0), reseal(f); },
         "damaged: 0 snapshots"},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> file = good;
        row.damage(file);
        writeBytes(dir / "bad.qrec", file);
        const ProcessResult r = cli({"--replay", "bad.qrec"});
        EXPECT_EQ(r.status, 1) << row.what;
        EXPECT_NE(r.err.find(std::string("bad.qrec: ") + row.message), std::string::npos)
            << row.what << ": " << r.err;
        EXPECT_EQ(r.out, "") << row.what;
    }
}

} // namespace
