// quorvel-cli --profile and --coverage: the counters in the JSON file and
// the coverage in the text and JSON reports (the output-file rules: the
// outputs' tests).
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace quorvel::support;

namespace {

// A JZ never taken (A = 1): the two instructions at 0007H are never executed.
const std::string kBranchProgram = R"(
        mov a, #1
        jz zero
        inc r0
done:   sjmp done
zero:   inc r1
        sjmp done
)";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(CliProfile, ProfileFileAndCoverageReports) {
    TempDir dir;
    ASSERT_TRUE(as31Hex(dir.path, "branch", kBranchProgram));
    const std::string cli = cliProgram().string();

    ProcessResult r = runProcess(dir.path, cli, {"--profile", "p.json", "--coverage", "--max-steps", "6", "branch.hex"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "coverage: 4 of 6 instructions executed (66.7 %)\nnever executed: 0007H-0009H\n");
    EXPECT_EQ(nlohmann::json::parse(dir.read("p.json")), nlohmann::json::parse(
              R"({"executions":6,"cycles":10,"vectoring_cycles":0,
              "coverage":{"instructions":6,"executed":4,"percent":66.7,"never_executed":[{"first":7,"last":9}]},
              "addresses":[
                {"address":0,"executions":1,"cycles":1,"instruction":"MOV    A,#01"},
                {"address":2,"executions":1,"cycles":2,"instruction":"JZ     0007"},
                {"address":4,"executions":1,"cycles":1,"instruction":"INC    R0"},
                {"address":5,"executions":3,"cycles":6,"instruction":"SJMP   0005"}]})"));

    r = runProcess(dir.path, cli, {"--json", "--coverage", "--max-steps", "6", "branch.hex"});
    EXPECT_TRUE(contains(r.out, R"("coverage":{"instructions":6,"executed":4,"percent":66.7,)"
                                R"("never_executed":[{"first":7,"last":9}]}})")) << r.out;

    // Source names outside ASCII come out as the UTF-8 they are, in the
    // profile and in the report.
    dir.write("caf\u00e9.asm", "        mov a, #1\nloop:   sjmp loop\n        end\n");
    ASSERT_EQ(runProcess(dir.path, asm51Program(), {"caf\u00e9.asm"}).status, 0);
    r = runProcess(dir.path, cli, {"--source-map", "caf\u00e9.lst", "--profile", "p.json", "--json", "--max-steps", "3",
                                   "caf\u00e9.hex"});
    EXPECT_TRUE(contains(dir.read("p.json"), "{\"function\":\"\",\"file\":\"caf\u00e9.asm\",\"line\":2,")) << dir.read("p.json");
    EXPECT_TRUE(contains(r.out, "\"source\":\"caf\u00e9.asm:2\"")) << r.out;
}
