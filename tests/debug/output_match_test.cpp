// The serial wait's regular expressions, byte by byte, against the standard
// library's ECMAScript search of every prefix of the text (the match the
// wait reports is the first one any prefix holds): the same bytes up to the
// end of the match whether they come after the wait started or were unread
// before it; patterns that do not read, or that cannot be decided byte by
// byte, are refused with a message.
#include "debug/output_match.h"

#include <gtest/gtest.h>

#include <regex>

using namespace quorvel;

namespace {

// The standard library's answer: the bytes up to the end of the match in
// the first prefix that holds one; nothing when none does.
std::optional<std::string> searchedPrefixes(const std::string& pattern, const std::string& text) {
    const std::regex re(pattern, std::regex::ECMAScript);
    for (size_t n = 0; n <= text.size(); ++n) {
        std::smatch found;
        const std::string prefix = text.substr(0, n);
        if (std::regex_search(prefix, found, re)) return prefix.substr(0, size_t(found.position(0) + found.length(0)));
    }
    return std::nullopt;
}

std::optional<std::string> waited(const std::string& pattern, const std::string& text, bool unreadBefore) {
    OutputMatch match;
    match.byteSent('#'); // read before the wait: not part of the search
    match.takeUnread();
    if (unreadBefore)
        for (char c : text) match.byteSent(uint8_t(c));
    EXPECT_EQ(match.expect(pattern, true), std::nullopt) << pattern;
    if (!unreadBefore)
        for (char c : text)
            if (!match.matched()) match.byteSent(uint8_t(c));
    if (!match.matched()) return std::nullopt;
    return match.takeMatch();
}

} // namespace

TEST(OutputMatch, RegularExpressionsMatchAsTheStandardSearchOfEachPrefix) {
    const struct {
        const char* pattern;
        std::string text;
    } rows[] = {
        {R"(READY [0-9]+\r\n)", "status 17 ok\r\nREADY\r\nREADY 42\r\nREADY 7\r\n"},
        {"a+", "xxaaab"},
        {"(ab|b)c", "abababc"},
        {"(a|ab)(c|bcd)(d*)", "abcd"},
        {"^OK", "xOK"},
        {"^OK", "OK!"},
        {"end$", "the ending end"},
        {R"(\bword\b)", "swordfish words word."},
        {R"(a\B)", "a ba ab"},
        {R"([^\d\s]{3})", "12 3 x4yzw"},
        {"x{2,3}y", "xy xxxxy"},
        {"x{2,}?y", "xxy"},
        {"(?:ab)*c", "ababac"},
        {"colou?r", "colour color"},
        {"[a-c-]+z", "d--z"},
        {R"(\x41\u0042\n)", "AAB\n"},
        {".", "\r\n\tx"},
        {"", "abc"},
        {"a|", "bab"},
        {R"([\]\\.]+!)", "a.]\\!"},
        {R"(\W\w\s\S\D\d)", "!a b23"},
        {R"([\x30-\x32]+;)", "93012;"},
        {"(a*)*b", "aaab"},
        {"no such text", "some other text"},
    };
    for (const auto& row : rows) {
        const std::optional<std::string> expected = searchedPrefixes(row.pattern, row.text);
        EXPECT_EQ(waited(row.pattern, row.text, false), expected) << row.pattern << " after the wait";
        EXPECT_EQ(waited(row.pattern, row.text, true), expected) << row.pattern << " unread before the wait";
    }
}

TEST(OutputMatch, PatternsThatDoNotReadOrCannotBeDecidedByteByByteAreRefused) {
    const struct {
        const char* pattern;
        const char* says;
    } rows[] = {
        {"(", "a '(' without its ')'"},
        {"a)", "a ')' without its '('"},
        {"a**", "nothing to repeat"},
        {"[b-a]", "a range out of order"},
        {"a{3,2}", "m below n"},
        {"[ab", "a '[' without its ']'"},
        {R"((a)\1)", "a back reference"},
        {"(?=a)", "a lookahead group"},
        {R"(\u0100)", "beyond a byte"},
        {"(x{1000}){1000}", "more than 20000 instructions"},
    };
    for (const auto& row : rows) {
        OutputMatch match;
        const std::optional<std::string> problem = match.expect(row.pattern, true);
        ASSERT_TRUE(problem.has_value()) << row.pattern;
        EXPECT_NE(problem->find("does not read: "), std::string::npos) << *problem;
        EXPECT_NE(problem->find(row.says), std::string::npos) << *problem;
        EXPECT_FALSE(match.waiting()) << row.pattern;
    }
}
