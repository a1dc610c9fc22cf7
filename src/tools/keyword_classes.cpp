#include "tools/keyword_classes.h"

#include <cctype>
#include <string>
#include <unordered_map>

namespace quorvel {

namespace {

// The keyword colour table the source editor and the program window's listing
// share: each class with its words, separated by spaces. A word that is not
// here is plain text, however much it looks like one (DPTR alone, CALL, the
// SFRs of one device only, P1.8).
struct KeywordList {
    KeywordClass kind;
    std::string_view words;
};

constexpr KeywordList kKeywordLists[] = {
    {KeywordClass::Mnemonic,
     "ACALL ADD ADDC AJMP ANL CJNE CLR CPL DA DEC DIV DJNZ INC JB JBC JC JMP JNB JNC JZ JNZ "
     "LCALL LJMP MOV MOVC MOVX MUL NOP ORL POP PUSH RET RETI RL RLC RR RRC SETB SJMP SUBB "
     "SWAP XCH XCHD XRL"},
    {KeywordClass::Register, "A AB C @A+DPTR @A+PC R0 R1 R2 R3 R4 R5 R6 R7 @R0 @R1 @DPTR"},
    {KeywordClass::Sfr,
     "ACC B DP1H DP1L DPH DPL IE IP P0 P1 P2 P3 PCON PSW RCAP2H RCAP2L SBUF SCON SP SPCR "
     "SPDR SPSR T2CON T2MOD TCON TH0 TH1 TH2 TL0 TL1 TL2 TMOD WMCON"},
    {KeywordClass::Bit,
     "AC ACC.0 ACC.1 ACC.2 ACC.3 ACC.4 ACC.5 ACC.6 ACC.7 B.0 B.1 B.2 B.3 B.4 B.5 B.6 B.7 "
     "C/T2 CP/RL2 CY EA ES ET0 ET1 EX0 EX1 EXEN2 EXF2 F0 IE0 IE1 IT0 IT1 OV P "
     "P0.0 P0.1 P0.2 P0.3 P0.4 P0.5 P0.6 P0.7 P1.0 P1.1 P1.2 P1.3 P1.4 P1.5 P1.6 P1.7 "
     "P2.0 P2.1 P2.2 P2.3 P2.4 P2.5 P2.6 P2.7 P3.0 P3.1 P3.2 P3.3 P3.4 P3.5 P3.6 P3.7 "
     "PS PT0 PT1 PX0 PX1 RB8 RCLK REN RI RS0 RS1 SM0 SM1 SM2 TB8 TCLK TF0 TF1 TF2 TI TR0 TR1 TR2"},
    {KeywordClass::Directive,
     "EQU BIT SET CODE DATA IDATA XDATA CSEG BSEG DSEG ISEG XSEG DS DBIT DB DW ORG USING END "
     "IF ELSE ENDIF"},
};

const std::unordered_map<std::string_view, KeywordClass>& keywordIndex() {
    static const auto index = [] {
        std::unordered_map<std::string_view, KeywordClass> words;
        for (const KeywordList& list : kKeywordLists) {
            std::string_view rest = list.words;
            while (!rest.empty()) {
                const size_t end = rest.find(' ');
                words.emplace(rest.substr(0, end), list.kind);
                if (end == std::string_view::npos) break;
                rest.remove_prefix(end + 1);
            }
        }
        return words;
    }();
    return index;
}

} // namespace

KeywordClass classifyKeyword(std::string_view word) {
    // No keyword is longer than this; longer words need no upper-case copy.
    constexpr size_t kLongestKeyword = 8;
    if (word.empty() || word.size() > kLongestKeyword) return KeywordClass::Other;
    char upper[kLongestKeyword];
    for (size_t i = 0; i < word.size(); ++i) upper[i] = char(std::toupper(static_cast<unsigned char>(word[i])));
    const auto& index = keywordIndex();
    const auto found = index.find(std::string_view(upper, word.size()));
    return found == index.end() ? KeywordClass::Other : found->second;
}

} // namespace quorvel
