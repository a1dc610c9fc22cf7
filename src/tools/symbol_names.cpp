#include "tools/symbol_names.h"

#include <array>
#include <cstdio>

namespace quorvel {

namespace {

// Display names of the direct addresses 80-F0 (empty: shown as hex digits).
constexpr std::array<std::string_view, 0x71> kDirectDisplay = [] {
    std::array<std::string_view, 0x71> t{};
    auto set = [&t](int address, std::string_view name) { t[address - 0x80] = name; };
    set(0x80, "P0");     set(0x81, "SP");     set(0x82, "DPL");    set(0x83, "DPH");
    set(0x84, "DP1L");   set(0x85, "DP1H");   set(0x86, "SPDR");   set(0x87, "PCON");
    set(0x88, "TCON");   set(0x89, "TMOD");   set(0x8A, "TL0");    set(0x8B, "TL1");
    set(0x8C, "TH0");    set(0x8D, "TH1");    set(0x90, "P1");     set(0x96, "WMCON");
    set(0x98, "SCON");   set(0x99, "SBUF");   set(0xA0, "P2");     set(0xA8, "IE");
    set(0xAA, "SPSR");   set(0xB0, "P3");     set(0xB8, "IP");     set(0xC8, "T2CON");
    set(0xC9, "T2MOD");  set(0xCA, "RCAP2L"); set(0xCB, "RCAP2H"); set(0xCC, "TL2");
    set(0xCD, "TH2");    set(0xD0, "PSW");    set(0xD5, "SPCR");   set(0xE0, "ACC");
    set(0xF0, "B");
    return t;
}();

// Named bits of the SFRs at 88, 98, A8, B8, C8 and D0, in bit order 0-7
// (empty: no name). Port, ACC and B bits are built from their register name.
struct BitRow {
    uint8_t base;
    std::array<std::string_view, 8> names;
};
constexpr std::array<BitRow, 6> kBitRows{{
    {0x88, {"IT0", "IE0", "IT1", "IE1", "TR0", "TF0", "TR1", "TF1"}},
    {0x98, {"RI", "TI", "RB8", "TB8", "REN", "SM2", "SM1", "SM0"}},
    {0xA8, {"EX0", "ET0", "EX1", "ET1", "ES", "", "", "EA"}},
    {0xB8, {"PX0", "PT0", "PX1", "PT1", "PS", "", "", ""}},
    {0xC8, {"CP/RL2", "C/T2", "TR2", "EXEN2", "TCLK", "RCLK", "EXF2", "TF2"}},
    {0xD0, {"P", "", "OV", "RS0", "RS1", "F0", "AC", "CY"}},
}};

constexpr std::array<SymbolName, 35> kDirectEntry{{
    {"ACC", 0xE0},   {"B", 0xF0},      {"DPH", 0x83},    {"DPL", 0x82},   {"DP0H", 0x83},
    {"DP0L", 0x82},  {"DP1H", 0x85},   {"DP1L", 0x84},   {"IE", 0xA8},    {"IP", 0xB8},
    {"P0", 0x80},    {"P1", 0x90},     {"P2", 0xA0},     {"P3", 0xB0},    {"PCON", 0x87},
    {"PSW", 0xD0},   {"SBUF", 0x99},   {"SCON", 0x98},   {"TCON", 0x88},  {"TMOD", 0x89},
    {"TH0", 0x8C},   {"TL0", 0x8A},    {"TH1", 0x8D},    {"TL1", 0x8B},   {"TH2", 0xCD},
    {"TL2", 0xCC},   {"RCAP2H", 0xCB}, {"RCAP2L", 0xCA}, {"T2CON", 0xC8}, {"T2MOD", 0xC9},
    {"SPCR", 0xD5},  {"SPDR", 0x86},   {"SPSR", 0xAA},   {"WMCON", 0x96}, {"SP", 0x81},
}};

// Names first, then the two-digit forms of the named bits, then the timer-2
// names and their two-digit forms. Because names come first, "F0" and "AC"
// are the PSW flags, not bit addresses F0 and AC.
constexpr std::array<SymbolName, 180> kBitEntry{{
    {"ACC.0", 0xE0}, {"ACC.1", 0xE1}, {"ACC.2", 0xE2}, {"ACC.3", 0xE3}, {"ACC.4", 0xE4}, {"ACC.5", 0xE5},
    {"ACC.6", 0xE6}, {"ACC.7", 0xE7}, {"B.0", 0xF0}, {"B.1", 0xF1}, {"B.2", 0xF2}, {"B.3", 0xF3},
    {"B.4", 0xF4}, {"B.5", 0xF5}, {"B.6", 0xF6}, {"B.7", 0xF7}, {"EX0", 0xA8}, {"ET0", 0xA9},
    {"EX1", 0xAA}, {"ET1", 0xAB}, {"ES", 0xAC}, {"EA", 0xAF}, {"PX0", 0xB8}, {"PT0", 0xB9},
    {"PX1", 0xBA}, {"PT1", 0xBB}, {"PS", 0xBC}, {"P0.0", 0x80}, {"P0.1", 0x81}, {"P0.2", 0x82},
    {"P0.3", 0x83}, {"P0.4", 0x84}, {"P0.5", 0x85}, {"P0.6", 0x86}, {"P0.7", 0x87}, {"P1.0", 0x90},
    {"P1.1", 0x91}, {"P1.2", 0x92}, {"P1.3", 0x93}, {"P1.4", 0x94}, {"P1.5", 0x95}, {"P1.6", 0x96},
    {"P1.7", 0x97}, {"P2.0", 0xA0}, {"P2.1", 0xA1}, {"P2.2", 0xA2}, {"P2.3", 0xA3}, {"P2.4", 0xA4},
    {"P2.5", 0xA5}, {"P2.6", 0xA6}, {"P2.7", 0xA7}, {"P3.0", 0xB0}, {"P3.1", 0xB1}, {"P3.2", 0xB2},
    {"P3.3", 0xB3}, {"P3.4", 0xB4}, {"P3.5", 0xB5}, {"P3.6", 0xB6}, {"P3.7", 0xB7}, {"P", 0xD0},
    {"OV", 0xD2}, {"RS0", 0xD3}, {"RS1", 0xD4}, {"F0", 0xD5}, {"AC", 0xD6}, {"CY", 0xD7},
    {"RI", 0x98}, {"TI", 0x99}, {"RB8", 0x9A}, {"TB8", 0x9B}, {"REN", 0x9C}, {"SM2", 0x9D},
    {"SM1", 0x9E}, {"SM0", 0x9F}, {"IT0", 0x88}, {"IE0", 0x89}, {"IT1", 0x8A}, {"IE1", 0x8B},
    {"TR0", 0x8C}, {"TF0", 0x8D}, {"TR1", 0x8E}, {"TF1", 0x8F}, {"E0", 0xE0}, {"E1", 0xE1},
    {"E2", 0xE2}, {"E3", 0xE3}, {"E4", 0xE4}, {"E5", 0xE5}, {"E6", 0xE6}, {"E7", 0xE7},
    {"F0", 0xF0}, {"F1", 0xF1}, {"F2", 0xF2}, {"F3", 0xF3}, {"F4", 0xF4}, {"F5", 0xF5},
    {"F6", 0xF6}, {"F7", 0xF7}, {"A8", 0xA8}, {"A9", 0xA9}, {"AA", 0xAA}, {"AB", 0xAB},
    {"AC", 0xAC}, {"AF", 0xAF}, {"B8", 0xB8}, {"B9", 0xB9}, {"BA", 0xBA}, {"BB", 0xBB},
    {"BC", 0xBC}, {"80", 0x80}, {"81", 0x81}, {"82", 0x82}, {"83", 0x83}, {"84", 0x84},
    {"85", 0x85}, {"86", 0x86}, {"87", 0x87}, {"90", 0x90}, {"91", 0x91}, {"92", 0x92},
    {"93", 0x93}, {"94", 0x94}, {"95", 0x95}, {"96", 0x96}, {"97", 0x97}, {"A0", 0xA0},
    {"A1", 0xA1}, {"A2", 0xA2}, {"A3", 0xA3}, {"A4", 0xA4}, {"A5", 0xA5}, {"A6", 0xA6},
    {"A7", 0xA7}, {"B0", 0xB0}, {"B1", 0xB1}, {"B2", 0xB2}, {"B3", 0xB3}, {"B4", 0xB4},
    {"B5", 0xB5}, {"B6", 0xB6}, {"B7", 0xB7}, {"D0", 0xD0}, {"D2", 0xD2}, {"D3", 0xD3},
    {"D4", 0xD4}, {"D5", 0xD5}, {"D6", 0xD6}, {"D7", 0xD7}, {"98", 0x98}, {"99", 0x99},
    {"9A", 0x9A}, {"9B", 0x9B}, {"9C", 0x9C}, {"9D", 0x9D}, {"9E", 0x9E}, {"9F", 0x9F},
    {"88", 0x88}, {"89", 0x89}, {"8A", 0x8A}, {"8B", 0x8B}, {"8C", 0x8C}, {"8D", 0x8D},
    {"8E", 0x8E}, {"8F", 0x8F}, {"CP/RL2", 0xC8}, {"C/T2", 0xC9}, {"TR2", 0xCA}, {"EXEN2", 0xCB},
    {"TCLK", 0xCC}, {"RCLK", 0xCD}, {"EXF2", 0xCE}, {"TF2", 0xCF}, {"C8", 0xC8}, {"C9", 0xC9},
    {"CA", 0xCA}, {"CB", 0xCB}, {"CC", 0xCC}, {"CD", 0xCD}, {"CE", 0xCE}, {"CF", 0xCF},
}};

std::string hex2(uint8_t value, bool upper) {
    char text[3];
    std::snprintf(text, sizeof text, upper ? "%02X" : "%02x", value);
    return text;
}

} // namespace

std::string directDisplayName(uint8_t address) {
    if (address >= 0x80 && address <= 0xF0 && !kDirectDisplay[address - 0x80].empty())
        return std::string(kDirectDisplay[address - 0x80]);
    return hex2(address, true);
}

std::string bitDisplayName(uint8_t bit) {
    const uint8_t base = bit & 0xF8;
    const char digit = char('0' + (bit & 7));
    if (bit >= 0x80 && bit < 0xB8 && (bit & 0x08) == 0)
        return std::string{'P', char('0' + ((bit - 0x80) >> 4)), '.', digit};
    if (base == 0xE0) return std::string("ACC.") + digit;
    if (base == 0xF0) return std::string("B.") + digit;
    for (const BitRow& row : kBitRows)
        if (row.base == base && !row.names[bit & 7].empty()) return std::string(row.names[bit & 7]);
    return hex2(bit, false);
}

std::span<const SymbolName> directEntryNames() { return kDirectEntry; }
std::span<const SymbolName> bitEntryNames() { return kBitEntry; }

std::optional<uint8_t> lookupDirectName(std::string_view token) {
    for (const SymbolName& entry : kDirectEntry)
        if (entry.name == token) return entry.address;
    return std::nullopt;
}

std::optional<uint8_t> lookupBitName(std::string_view token) {
    for (const SymbolName& entry : kBitEntry)
        if (entry.name == token) return entry.address;
    return std::nullopt;
}

} // namespace quorvel
