// Sentences linked by the linker, read back and run: what each step does to
// the registers and flags, where jumps go, what ports read, the clock writes
// recorded and how runs end, and a sentence rendered. What the demo's traces
// in tests/golden/demo.play.txt show is not repeated here: a move, the hour
// read and compared, a ^DJNZ loop, ^CALL and ^JMP into another sentence's
// block, ^RET inside and outside a call, serial bytes, the step limit.
#include "base/bytes.h"
#include "base/format.h"
#include "player/render.h"
#include "player/report.h"
#include "support/link_fixture.h"
#include "word/clip_writer.h"

#include <gtest/gtest.h>
#include <sndfile.h>

namespace zlt::player {
namespace {

using test::TempDir;

// The sentences as S0000, S0001, ..., with word 1 (16-bit, 16000 Hz) and
// word 2 (8-bit, 16000 Hz) of the given samples, linked and ready to play.
struct Linked {
    TempDir dir;
    std::unique_ptr<test::LinkRun> run;
    std::optional<DecodedImage> image;
    std::optional<Player> player;

    explicit Linked(const std::vector<std::string>& sentences,
                    const std::vector<std::int16_t>& word1 = std::vector<std::int16_t>(160),
                    const std::vector<std::uint8_t>& word2 = std::vector<std::uint8_t>(160, 128)) {
        ClipFields f;
        WriteClipFile(dir / "w1.snx", MakeClip16(f, word1));
        WriteClipFile(dir / "w2.snx", MakeClip8(f, word2));
        std::string project = test::MinimalProject("[ZLP.Word]\nW0001=" + (dir / "w1.snx") + "\nW0002=" +
                                                   (dir / "w2.snx") + "\n[ZLP.Sentence]\n");
        for (std::size_t n = 0; n < sentences.size(); ++n)
            project += FormatText("S%0.4u=", static_cast<unsigned>(n)) + sentences[n] + "\n";
        run = test::Link(dir, project);
        std::string error;
        if (run->ok) image = ReadImage(AsBytes(run->image), error);
        if (image) player = Player::Open(AsBytes(run->image), *image, error);
        EXPECT_TRUE(player) << run->log.Text() << error;
    }
    RunResult Execute(unsigned n, const PlayOptions& o) const {
        return player->Execute(run->ctx->sentenceIndex[n], o);
    }
};

// What a run did: the registers and flags its last step changed ("R0=10
// C=1"), the clock fields written, each after the number of units from the
// start to the step that wrote it ("1:HOUR=17", with "!" when the value was
// refused), and how the run ended unless by its end mark.
std::string Outcome(const RunResult& run) {
    std::string changes, events;
    for (const TraceEvent& e : run.trace) {
        if (e.kind == TraceEvent::Kind::kStep) changes.clear();
        for (const Change& c : e.changes)
            changes += " " + c.name + "=" +
                       (c.name.size() == 1 ? std::to_string(c.value) : FormatText("%0.2X", c.value));
        if (e.kind == TraceEvent::Kind::kClock)
            events += FormatText(" %u:", e.unit - run.trace.front().unit) + e.text +
                      FormatText("=%0.2X%s", e.value, e.accepted ? "" : "!");
    }
    if (run.ending != Ending::kEndMark) events += std::string(" ") + EndingName(run.ending);
    return (changes + events).erase(0, 1);
}

TEST(Machine, StepsPortsAndEndings) {
    // Friday 2026-12-25 09:30:45; the option byte of a project without
    // options holds Reset_Beep (bit 7).
    const PlayOptions kOptions{{2026, 12, 25, 9, 30, 45}, 0x44332211};
    struct Row {
        std::string sentence, outcome;
        const char* at = nullptr;
    };
    std::vector<Row> rows = {
        {"^MOV_R8_7F", "R0=7F"},  // a register is its second byte: R8 is R0
        {"^MOV_R0_7F+^MOV_R1_R0", "R1=7F"}, {"^MOV_R0_F0+^ADD_R0_20", "R0=10 C=1"},
        {"^MOV_R0_FF+^ADD_R0_01", "R0=00 C=1 Z=1"}, {"^MOV_R0_01+^SUB_R0_02", "R0=FF C=1"},
        {"^MOV_R0_05+^MOV_R1_05+^SUB_R0_R1", "R0=00 Z=1"}, {"^MOV_R0_05+^CMP_R0_05", "Z=1"},
        {"^MOV_R0_05+^SETC+^CMP_R0_01", "C=0"}, {"^MOV_R0_F0+^AND_R0_0F", "R0=00 Z=1"}, {"^ORL_R0_81", "R0=81"},
        {"^MOV_R0_FF+^SETC+^XOR_R0_0F", "R0=F0"}, {"^MOV_R0_01+^MOV_R1_02+^XCH_R0_R1", "R0=02 R1=01"},
        {"^MOV_R0_F0+^MOV_R1_0F+^BITS_R0_R1", "Z=1"}, {"^MOV_R0_F0+^MOV_R1_10+^ORL_R2_00+^BITS_R0_R1", "Z=0"},
        {"^MOV_R0_81+^SHL_R0", "R0=02 C=1"}, {"^MOV_R0_40+^SETC+^SHL_R0", "R0=81 C=0"},
        {"^MOV_R0_01+^SHR_R0", "R0=00 C=1 Z=1"}, {"^SETC+^SHR_R0", "R0=80 C=0"},
        {"^MOV_R0_12+^SWAP_R0", "R0=21"}, {"^MOV_R0_59+^BCD2BIN_R0", "R0=3B"},
        {"^MOV_R0_1A+^BCD2BIN_R0", "R0=14 C=1"}, {"^MOV_R0_3B+^BIN2BCD_R0", "R0=59"},
        {"^MOV_R0_FF+^BIN2BCD_R0", "R0=55 C=1"}, {"^MOV_R0_01+^MOV_R1_02+^PUSH_R0+^PUSH_R1+^POP_R2+^POP_R3", "R3=01"},
        {"^IOR_R0_X[7..0]", "R0=11"}, {"^IOR_R0_X[15..8]", "R0=22"}, {"^IOR_R0_X[23..16]", "R0=33"},
        {"^IOR_R0_X[31..24]", "R0=44"}, {"^IOR_R0_OPTION", "R0=80"}, {"^IOR_R0_YEAR", "R0=1A"},
        {"^IOR_R0_MONTH", "R0=0C"}, {"^IOR_R0_DAY", "R0=19"}, {"^IOR_R0_DAYOFWEEK", "R0=05"},
        {"^IOR_R0_MINUTE", "R0=1E"}, {"^IOR_R0_SECOND", "R0=2D"},
        {"^IOR_R0_RANDOM", "R0=E2"},  // SplitMix64 from 0: 0xE220A8397B1DCDAF
        {"M1000+^IOR_R0_SECOND", "R0=2E"},  // the clock runs with the time played
        {"M1000+^IOR_R0_YEAR", "R0=1B", "2026-12-31 23:59:59"},
        {"M1000+^IOR_R0_DAYOFWEEK", "R0=05", "2026-12-31 23:59:59"},
        {"^MOV_R0_02+^IOW_R0_MONTH+^IOR_R1_DAY", "R1=1C 1:MONTH=02", "2026-01-31 12:00:00"},
        {"^MOV_R0_17+^IOW_R0_HOUR+^MOV_R0_3C+^IOW_R0_MINUTE+^IOR_R1_HOUR", "R1=17 1:HOUR=17 3:MINUTE=3C!"},
        {"^MOV_R0_18+^IOW_R0_HOUR+^IOR_R1_HOUR", "R1=09 1:HOUR=18!"},  // hour 24 is refused
        {"^MOV_R0_07+^IOW_R0_DAYOFWEEK+^MOV_R0_06+^IOW_R0_DAYOFWEEK+^IOR_R1_DAYOFWEEK",
         "R1=06 1:DAYOFWEEK=07! 3:DAYOFWEEK=06"},
        {"^BLK_Deep+^CALL_Deep", "stackOverflow"}, {"^POP_R0", "stackUnderflow"},
        {"^MOV_R1_10+^PUSH_R0+^DJNZ_R1_STEP1", "R1=00"},  // 16 values
        {"^MOV_R1_11+^PUSH_R0+^DJNZ_R1_STEP1", "stackOverflow"},
        {"^BLK_Long+M51150+^JMP_Long", "timeLimit"},
    };
    // Each conditional jump for carry and zero 00, 01, 10, 11 ("J" where it
    // is taken), over the step that sets R7.
    const std::pair<const char*, const char*> jumps[] = {
        {"^JZ_", ".J.J"}, {"^JNZ_", "J.J."}, {"^JC_", "..JJ"}, {"^JNC_", "JJ.."},
        {"^JG_", "J..."}, {"^JGE_", "JJ.."}, {"^JL_", "..JJ"}, {"^JLE_", ".JJJ"},
    };
    const char* flags[] = {"^ORL_R0_01+^CLRC", "^ORL_R0_00+^CLRC", "^ORL_R0_01+^SETC", "^ORL_R0_00+^SETC"};
    for (const auto& [jump, taken] : jumps)
        for (unsigned f = 0; f < 4; ++f)
            rows.push_back({flags[f] + ("+" + std::string(jump)) + "STEP4+^MOV_R7_01", taken[f] == 'J' ? "" : "R7=01"});
    std::vector<std::string> sentences;
    for (const Row& row : rows) sentences.push_back(row.sentence);
    const Linked linked(sentences);
    for (unsigned n = 0; n < rows.size(); ++n) {
        PlayOptions o = kOptions;
        if (rows[n].at) o.at = *ParseCivilTime(rows[n].at);
        EXPECT_EQ(Outcome(linked.Execute(n, o)), rows[n].outcome) << rows[n].sentence;
    }
}

TEST(Render, StraightSentenceIsItsWordsAndSilencesSampleForSample) {
    std::vector<std::int16_t> word1(1024);
    std::vector<std::uint8_t> word2(512);
    for (std::size_t i = 0; i < word1.size(); ++i) word1[i] = static_cast<std::int16_t>(i * 61 - 30000);
    for (std::size_t i = 0; i < word2.size(); ++i) word2[i] = static_cast<std::uint8_t>(i * 7);
    const Linked linked({"W0001+M100+W0002+M50"}, word1, word2);
    std::vector<std::int16_t> want = word1;
    want.resize(want.size() + 1600);  // 100 ms at 16000 Hz
    for (std::uint8_t s : word2) want.push_back(static_cast<std::int16_t>((s - 128) * 256));
    want.resize(want.size() + 800);

    Rendering r;
    std::string error;
    ASSERT_TRUE(Render(*linked.player, linked.run->ctx->sentenceIndex[0], {}, r, error)) << error;
    const auto wav = WavFileBytes(r.samples, r.rate, error);
    ASSERT_TRUE(wav) << error;
    test::WriteFile(linked.dir / "out.wav", std::string(wav->begin(), wav->end()));
    SF_INFO info{};
    SNDFILE* f = sf_open((linked.dir / "out.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    std::vector<std::int16_t> got(static_cast<std::size_t>(info.frames));
    sf_readf_short(f, got.data(), info.frames);
    sf_close(f);
    EXPECT_EQ(info.samplerate, 16000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace zlt::player
