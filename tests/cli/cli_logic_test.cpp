// The pure pieces of quorvel-cli: option value forms, the self-jump rule,
// the seven-segment text and JSON string escaping.
#include "cli/cli_options.h"
#include "cli/cli_json.h"
#include "cli/cli_report.h"
#include "cli/cli_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::cli;

namespace {

ParseResult parse(std::initializer_list<std::string_view> args) {
    std::vector<std::string_view> list(args);
    return parseCommandLine(list);
}

// The forms of values the end-to-end runs do not use: "--opt=value", hex
// with "0x" or "H", sizes with "K", a pin set to "nc", and a program whose
// name looks like an option after "--".
TEST(CliOptions, ValueForms) {
    const ParseResult r = parse({"--device=at89s8252", "--code-memory", "both:16K", "--load-address", "0x100",
                                 "--data-address", "200H", "--pin", "P3.2=nc", "--break", "reg:dptr1=0x1234",
                                 "--", "--odd-name"});
    ASSERT_EQ(r.error, "");
    const CliOptions& o = r.options;
    EXPECT_EQ(std::make_tuple(o.program, o.device, o.codeMemory, o.codeKB, o.loadAddress, o.dataAddress),
              std::make_tuple(std::string("--odd-name"), DeviceKind::AT89S8252, CodeMemory::Both, 16, 0x100,
                              0x200));
    ASSERT_EQ(o.pins.size(), 1u);
    EXPECT_EQ(std::make_tuple(o.pins[0].index, o.pins[0].setting), std::make_tuple(26, kInputNC));
    ASSERT_EQ(o.breaks.size(), 1u);
    EXPECT_EQ(std::tie(o.breaks[0].name, o.breaks[0].data), std::make_tuple(std::string("dptr1"), std::string("1234")));
}

TEST(CliReport, SegmentPatternsReadAsCharacters) {
    const std::pair<uint8_t, const char*> patterns[] = {
        {0x3F, "0"}, {0x6F, "9"}, {0x67, "9"}, {0x86, "1."}, {0x00, " "}, {0x80, " ."}, {0x49, "?"}};
    for (auto [segments, text] : patterns) EXPECT_EQ(segmentText(segments), text) << int(segments);
}

TEST(CliReport, JsonStringsReadBackAsTheirBytesOrNames) {
    // Chip bytes come back one code point each (U+0000..U+00FF); names as
    // UTF-8, a byte that is not UTF-8 replaced.
    const std::pair<std::string, std::string> rows[] = {
        {jsonDocument(chipCharacters("a\"b\\c")), "a\"b\\c"},
        {jsonDocument(chipCharacters(std::string("\n\x01\x7F\xC3\xFF", 5))), "\n\x01\x7F\u00C3\u00FF"},
        {jsonDocument(Json("caf\u00e9\t\"\xff")), "caf\u00e9\t\"\uFFFD"},
    };
    for (const auto& [literal, text] : rows) EXPECT_EQ(nlohmann::json::parse(literal).get<std::string>(), text) << literal;
}

} // namespace
