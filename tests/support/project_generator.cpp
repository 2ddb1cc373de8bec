#include "support/project_generator.h"

#include "base/format.h"
#include "support/stage_fixture.h"

namespace zlt::test {

std::string ProjectGenerator::Project() {
    std::string p = "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\nTarget=ZELTA_900\n";
    static const char* const kModes[] = {"TGM_SINGLE_M0", "tgm_bin_m2", "TGM_HGPS2_M2", "Tgm_Fuart_M0"};
    p += std::string("TG_Mode=") + Pick(kModes) + "\n";
    if (Chance(2)) p += "Description=  demo \"" + std::to_string(Int(0, 999)) + "\"  \n";
    p += "[ZLP.Firmware]\n";
    p += "BUSY_Signal=" + std::to_string(Int(0, 300)) + "\nSTOP_Pulse_Time=" + std::to_string(Int(0, 70000)) +
         "\nReset_Beep=" + (Chance(2) ? "yes" : "off") + "\nStartupPlayVtg=" + std::to_string(Int(-5, 5)) +
         "\nBkgndCTG_Resumable=" + std::to_string(Int(0, 1)) + "\n";
    p += "[ZLP.Firmware.UartMode]\nBitsParity=" + std::to_string(Int(80, 82)) + "\nBaudRate=" +
         std::to_string(1200 << Int(0, 3)) + "\nFrameEnding2=" + std::to_string(Int(0, 255)) + "\n";

    // Words of both widths at any of the rates, some too short for a page
    // unit, some with bytes after their data that the last block takes in.
    words_.clear();
    p += "[ZLP.Word]\n";
    for (int n = Int(0, 50); n < 8192 && words_.size() < 8; n += Int(1, 2000)) {
        static const unsigned kRates[] = {8000, 11025, 16000, 22050, 24000, 32000, 40000, 44100, 48000};
        ClipFields f;
        f.sampleRate = Pick(kRates);
        const unsigned bits = Chance(2) ? 8 : 16;
        std::vector<std::int16_t> samples;
        std::vector<std::uint8_t> clip = RandomClip(rng_, f, bits, Chance(4) ? Int(1, 7) : Int(8, 3000), samples);
        for (int extra = Chance(2) ? Int(1, 600) : 0; extra > 0; --extra)
            clip.push_back(static_cast<std::uint8_t>(Int(0, 255)));
        const std::string path = clips_ + "/w" + std::to_string(n) + ".snx";
        WriteFile(path, std::string(clip.begin(), clip.end()));
        p += Key('W', n) + path + "\n";
        words_.push_back(n);
    }

    // Labels are declared once each, in some sentence, and called from anywhere.
    const int labelCount = Int(0, 6);
    std::vector<std::string> labels;
    for (int i = 0; i < labelCount; ++i) labels.push_back("Blk" + std::to_string(i));
    std::vector<int> sentences;
    for (int n = 0; n < 8192 && sentences.size() < 40; n += Int(1, 400)) sentences.push_back(n);
    std::vector<std::string> undeclared = labels;

    p += "[ZLP.Sentence]\n";
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        const int steps = Int(1, 20);
        std::string text;
        for (int s = 0; s < steps; ++s) {
            std::string step;
            if (!undeclared.empty() && Chance(4)) {
                step = "^BLK_" + undeclared.back();
                undeclared.pop_back();
            } else {
                step = Step(labels, steps);
            }
            text += (s ? (Chance(3) ? ";" : "+") : "") + step;
        }
        // Declare what is left in the last sentence.
        if (i + 1 == sentences.size())
            for (const std::string& l : undeclared) text += "+^BLK_" + l;
        p += Key('S', sentences[i]) + text + "\n";
    }

    p += "[ZLP.Trigger]\n";
    for (int k = Int(0, 6); k > 0; --k)
        p += Key('T', Int(0, 7807)) + Modes() + " + " + Key('S', Pick(sentences)).substr(0, 5) + "\n";
    for (int k = Int(0, 4); k > 0; --k)
        p += Key('T', Int(7808, 7935)) + Modes() + " + " + Key('S', Pick(sentences)).substr(0, 5) +
             " + " + Clock() + "\n";
    return p;
}

std::string ProjectGenerator::Mutate(const std::string& project, int count) {
    static const char* const kSteps[] = {"^MOVE_R1_02", "W9999", "W1x", "^CALL_Nowhere", "^BLK_Blk0", "^JZ_STEP70",
                                         "X", "^MOV_R9_R1", "N W1", "M60000", "^JMP_blk1", "^IOW_R1_RANDOM"};
    static const char kChars[] = "+;_~:/-^RWSNLUEHI .x9";
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < project.size();) {
        const std::size_t eol = project.find('\n', at);
        lines.push_back(project.substr(at, eol - at));
        at = eol + 1;
    }
    while (count-- > 0) {
        std::string& line = lines[static_cast<std::size_t>(Int(0, static_cast<int>(lines.size()) - 1))];
        const int eq = static_cast<int>(line.find('='));
        if (eq < 0 || eq + 1 >= static_cast<int>(line.size())) continue;
        const auto at = static_cast<std::size_t>(Int(eq + 1, static_cast<int>(line.size()) - 1));
        switch (Int(0, 3)) {
        case 0: line[at] = kChars[Int(0, static_cast<int>(sizeof kChars) - 2)]; break;
        case 1: line.erase(at, 1); break;
        case 2: line += std::string(Chance(2) ? "+" : ";") + Pick(kSteps); break;
        default: line.insert(0, ";"); break;
        }
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

int ProjectGenerator::Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

bool ProjectGenerator::Chance(int oneIn) { return Int(1, oneIn) == 1; }

std::string ProjectGenerator::Reg() { return "R" + std::to_string(Int(0, 7)); }

std::string ProjectGenerator::Hex() {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%X", Int(0, 255));
    return buf;
}

// "S0001=", "W0001=", "T0001=".
std::string ProjectGenerator::Key(char kind, int n) { return kind + FormatText("%0.4d=", n); }

std::string ProjectGenerator::Modes() {
    static const char* const kFirst = "LEl.e", *kSecond = "UHu.h", *kThird = "NIn.i";
    return {kFirst[Int(0, 4)], kSecond[Int(0, 4)], kThird[Int(0, 4)]};
}

// One of the eight forms: a date, a weekday range, a weekday or every day,
// each with one hour or an hour range.
std::string ProjectGenerator::Clock() {
    static const char* const kMonths[] = {"JAN", "feb", "Dec", "FOO"};
    static const char* const kDays[] = {"MON", "fri", "SUN", "xyz"};
    std::string day;
    switch (Int(0, 3)) {
    case 0: day = std::string(Pick(kMonths)) + "-" + std::to_string(Int(0, 31)) + "/"; break;
    case 1: day = std::string(Pick(kDays)) + "~" + Pick(kDays) + "/"; break;
    case 2: day = std::string(Pick(kDays)) + "/"; break;
    }
    const std::string hours = std::to_string(Int(0, 23)) + (Chance(2) ? "~" + std::to_string(Int(0, 31)) : "");
    return day + hours + ":" + std::to_string(Int(0, 59));
}

std::string ProjectGenerator::Step(const std::vector<std::string>& labels, int steps) {
    static const char* const kTwo[] = {"MOV", "ADD", "SUB", "CMP", "AND", "ORL", "XOR"};
    static const char* const kOne[] = {"SHL", "SHR", "SWAP", "BCD2BIN", "BIN2BCD", "PUSH", "POP"};
    static const char* const kJumps[] = {"JZ", "JNZ", "JC", "JNC", "JG", "JGE", "JL", "JLE"};
    static const char* const kIn[] = {"X[7..0]", "X[31..24]", "OPTION", "HOUR", "RANDOM", "YEAR"};
    static const char* const kOut[] = {"YEAR", "MONTH", "DAY", "DAYOFWEEK", "HOUR", "MINUTE", "SECOND"};
    switch (Int(0, 19)) {
    case 0: return "M" + std::to_string(Int(0, 51150));
    case 18:
    case 19:
        if (words_.empty()) return "N";
        return "W" + std::to_string(Pick(words_));
    case 1: return std::string("^") + Pick(kTwo) + "_" + Reg() + "_" + Reg();
    case 2: return std::string("^") + Pick(kTwo) + "_" + Reg() + "_" + Hex();
    case 3: return std::string(Chance(2) ? "^XCH_" : "^BITS_") + Reg() + "_" + Reg();
    case 4: return std::string("^") + Pick(kOne) + "_" + Reg();
    case 5: return "^TXD_" + (Chance(2) ? Reg() : Hex());
    case 6: return "^IOR_" + Reg() + "_" + Pick(kIn);
    case 7: return "^IOW_" + Reg() + "_" + Pick(kOut);
    case 8: return Chance(2) ? "^RET" : (Chance(2) ? "^SETC" : "^CLRC");
    case 9: return "^REM_note";
    case 10: return "N";
    case 11: return std::string("^") + Pick(kJumps) + "_STEP" + std::to_string(Int(0, steps));
    case 12: return "^DJNZ_" + Reg() + "_STEP" + std::to_string(Int(0, steps));
    case 13: return Chance(4) ? "^EOP" : "^SETC";
    default:
        if (labels.empty()) return "^CLRC";
        return std::string(Chance(2) ? "^CALL_" : "^JMP_") + Pick(labels);
    }
}

}  // namespace zlt::test
