// quorvel-cli --record and --replay: a run recorded in one process replays
// in another to the very same report; a replay to a cycle equals a run
// stopped there; recordings cut short, damaged, of another version or
// build, or none at all are refused with a message.
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
    const auto reported = [](std::vector<std::string> args) {
        for (const char* a : {"--source-map", "steps.cdb", "--json", "--dump", "iram", "--dump",
                              "sfr", "--last-write", "count"})
            args.emplace_back(a);
        return args;
    };
    const ProcessResult recorded =
        cli(reported({"steps.hex", "--record", "run.qrec", "--max-steps", "3000"}));
    ASSERT_EQ(recorded.status, 3) << recorded.err;
    // The loop adds 0, 1 and 2 to count on the bump line.
    const Json write = Json::parse(recorded.out).at("last_write");
    Json seen = write;
    seen.erase("cycle"), seen.erase("pc");
    EXPECT_EQ(seen.dump(), R"({"file":"steps.c","line":)" + at("bump") + R"(,"new":3,"old":1})");
    const ProcessResult replayed = cli(reported({"--replay", "run.qrec"}));
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
}

// Header: signature 0-7, version 8-11, layout 12-19, length 20-27, checksum
// 28-35; then the data, whose byte 44 (80 in the file) is the run's stop and
// 45-48 (81-84) the count of snapshots. `reseal` puts a matching checksum back.
TEST_F(CliRecording, RecordingsThatAreNotWholeOrNotOursAreRefused) {
    ASSERT_EQ(cli({"steps.hex", "--record", "good.qrec", "--max-steps", "2000"}).status, 3);
    const std::vector<uint8_t> good = readBytes(dir / "good.qrec");
    ASSERT_GT(good.size(), 100u);
    const auto reseal = [](std::vector<uint8_t>& f) {
        const uint64_t sum = hashBytes(std::span(f).subspan(36));
        for (int i = 0; i < 8; ++i)
            f[28 + size_t(i)] = uint8_t(sum >> (56 - 8 * i));
    };
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* message;
    } rows[] = {
        {"a program", [&](auto& f) { f = readBytes(dir / "steps.hex"); }, "not a recording"},
        {"cut in the data", [](auto& f) { f.resize(f.size() - 7); }, "truncated: the header"},
        {"bytes after it", [](auto& f) { f.push_back(0); }, "damaged: 1 bytes follow"},
        {"a byte changed", [](auto& f) { f[f.size() / 2] ^= 0x10; }, "corrupted: the checksum"},
        {"another version", [](auto& f) { f[11] = 2; }, "a recording of version 2"},
        {"another build", [](auto& f) { f[19] ^= 1; }, "written by a build whose machine state"},
        {"an unknown stop", [&](auto& f) { f[80] = 99, reseal(f); }, "damaged: the run's stop 99"},
        {"no snapshots", [&](auto& f) { std::fill_n(f.begin() + 81, 4, 0), reseal(f); },
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
