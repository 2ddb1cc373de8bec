#!/bin/sh
# A small mutation tester: proves that the test suite finds real faults.
#
#   scripts/mutate.sh [--list] [NAME...]
#
# Each mutant below is a one-line change that a real bug could make (a
# comparison flipped or off by one, a bound check dropped, a mask or shift
# changed, an error turned into success, a message argument swapped, a write
# length changed). The script copies the tracked files of the working tree to
# a scratch folder ($ZLT_MUTATE_DIR, default /tmp/zlt-mutate), builds them
# once with the test preset's sanitizers, and then for each mutant: applies
# it to the scratch copy, rebuilds incrementally, runs the whole suite except
# the tests of the Windows DLL (stopping at the first failing test, within
# $ZLT_MUTANT_TIMEOUT seconds, default 600), and puts the file back. A mutant
# is "killed" when a test fails, "survived" when all pass, "stale" when its
# text is no longer in the file (the list needs mending), "invalid" when it
# does not compile. The working tree is only read.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
scratch=${ZLT_MUTATE_DIR:-/tmp/zlt-mutate}
limit=${ZLT_MUTANT_TIMEOUT:-600}

# The mutants: NAME @@ FILE @@ ORIGINAL TEXT @@ MUTATED TEXT. The original
# text must stand exactly once in the file.
mutant_list() {
    cat <<'LIST'
# Options
bits-parity-upper @@ src/options/option_table.cpp @@ kBitsParityValues[] = {80, 81, 82}; @@ kBitsParityValues[] = {80, 81, 82, 83};
baud-accepts-any @@ src/options/option_table.cpp @@ if (!Accepted(ctx, f, value)) { @@ if (!Accepted(ctx, f, value) && false) {
bool-flag-ignored @@ src/options/option_table.cpp @@ PutU16(field, GetU16(field) | f.bit); @@ PutU16(field, GetU16(field));
# Sentences
text-limit @@ src/sentence/sentence_table.cpp @@ if (s.site.text.size() > kMaxSentenceText) @@ if (s.site.text.size() > kMaxSentenceText + 1)
step-text-limit @@ src/sentence/sentence_table.cpp @@ const bool compiled = stepText->size() > kMaxStepText @@ const bool compiled = stepText->size() > kMaxStepText + 1
word-range-open @@ src/sentence/sentence_table.cpp @@ *word >= kEntryCount @@ *word > kEntryCount
mute-upper-bound @@ src/sentence/sentence_table.cpp @@ *value > kMaxMute @@ *value >= kMaxMute
empty-step-invalid @@ src/sentence/sentence_table.cpp @@ case 'N': return true;  // empty step: takes its step number only @@ case 'N': return Invalid(s, stepText, "");
unit-zero-accepted @@ src/sentence/sentence_table.cpp @@ if (unit == 0) return Invalid(s, stepText, OperandSyntax(*m)); @@ if (unit == 0) return true;
end-mark-always @@ src/sentence/sentence_table.cpp @@ ctx_.sentenceTable[next_ - 1] != kEndMark @@ true
step-limit-65 @@ src/sentence/sentence_table.cpp @@ for (; s.step < kMaxSteps; ++s.step) { @@ for (; s.step <= kMaxSteps; ++s.step) {
# Labels and references
label-capacity @@ src/sentence/labels.cpp @@ if (entries_.size() >= kCapacity) return 0; @@ if (entries_.size() > kCapacity) return 0;
no-pad-unit @@ src/sentence/labels.cpp @@ if (nextUnit % 2 != 0) ctx.sentenceTable[nextUnit++] = kPadUnit; @@ if (nextUnit % 2 == 2) ctx.sentenceTable[nextUnit++] = kPadUnit;
step-ref-64 @@ src/sentence/labels.cpp @@ target >= kMaxSteps @@ target > kMaxSteps
step-distance-sign @@ src/sentence/labels.cpp @@ (steps[target].unit - steps[i].unit) & 0xFFu @@ (steps[i].unit - steps[target].unit) & 0xFFu
duplicate-block-allowed @@ src/sentence/labels.cpp @@ if (labels.BlockStart(number) != 0) { @@ if (labels.BlockStart(number) == 0xFFFF) {
owner-sentence-off @@ src/sentence/labels.cpp @@ if (start > k) break; @@ if (start >= k) break;
# Instructions
register-8 @@ src/sentence/instructions.cpp @@ operand[1] <= '7' @@ operand[1] < '7'
immediate-9-bits @@ src/sentence/instructions.cpp @@ *value > 0xFF @@ *value > 0x1FF
iow-any-port @@ src/sentence/instructions.cpp @@ (m.code != kPortWrite || kPorts[port].writable) @@ (m.code != kPortWrite || kPorts[port].writable || true)
ret-code @@ src/sentence/instructions.cpp @@ {"^RET", kNone, 0x0020} @@ {"^RET", kNone, 0x0021}
immediate-op-shift @@ src/sentence/instructions.cpp @@ case kImmediateForm: return u >> 11; @@ case kImmediateForm: return u >> 10;
# Triggers
mode-letter-bit @@ src/trigger/trigger_table.cpp @@ {'N', 'n', 'I', 'i', 0x10} @@ {'N', 'n', 'I', 'i', 0x08}
mode-dot-clears @@ src/trigger/trigger_table.cpp @@ return c == p.set || c == p.setLower || c == '.'; @@ return c == p.set || c == p.setLower;
sentence-8192 @@ src/trigger/trigger_table.cpp @@ sentence >= kEntryCount @@ sentence > kEntryCount
unused-N-checked @@ src/trigger/trigger_table.cpp @@ if (fields->sentence.front() == 'N') return true; @@ if (fields->sentence.front() == 'n') return true;
two-fields-enough-one @@ src/trigger/trigger_table.cpp @@ fields->count < 2 @@ fields->count < 1
clock-in-use-bit @@ src/trigger/clock_condition.cpp @@ constexpr std::uint32_t kInUse = 0x80000000; @@ constexpr std::uint32_t kInUse = 0x40000000;
clock-field-overflow @@ src/trigger/clock_condition.cpp @@ if (c.*f.field > f.max) return std::nullopt; @@ if (c.*f.field > f.max + 1) return std::nullopt;
month-name-case @@ src/trigger/clock_condition.cpp @@ char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; } @@ char Upper(char c) { return c; }
# Words and clips
channels-two @@ src/word/word_table.cpp @@ if (clip.channels != 1) return WordFault::kChannels; @@ if (clip.channels > 2) return WordFault::kChannels;
clip-size-limit @@ src/word/word_table.cpp @@ clip.dataLength > kMaxClipBytes @@ clip.dataLength >= kMaxClipBytes
page-limit @@ src/word/word_table.cpp @@ if (end >= kWordImagePageLimit) { @@ if (end > kWordImagePageLimit) {
sample-rate-floor @@ src/word/clip.cpp @@ f.sampleRate < 2100 @@ f.sampleRate < 2000
clip-version-range @@ src/word/clip.cpp @@ version > kClipVersionLast @@ version > kClipVersionLast + 1
key-index-bound @@ src/word/clip.cpp @@ if (a > kMaxKeyIndex || b > kMaxKeyIndex) return std::nullopt; @@ if (a > kMaxKeyIndex) return std::nullopt;
pair-swap-mask @@ src/word/clip.cpp @@ constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull; @@ constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FEull;
wide-sign-flip @@ src/word/clip.cpp @@ static_cast<std::uint8_t>(kb ^ 0x80) @@ static_cast<std::uint8_t>(kb)
# Project reader and scanning
hex-digit-f @@ src/project/scan.cpp @@ if (c >= 'a' && c <= 'f') return c - 'a' + 10; @@ if (c >= 'a' && c < 'f') return c - 'a' + 10;
crlf-kept @@ src/project/ini_file.cpp @@ if (!line.empty() && line.back() == '\r') line.remove_suffix(1); @@ if (false) line.remove_suffix(1);
comment-hash @@ src/project/ini_file.cpp @@ line.front() == ';' || line.front() == '#' @@ line.front() == ';'
# Image container and section writers
header-version @@ src/base/image.cpp @@ if (GetU16(h + 4) != kImageFormatVersion) @@ if (GetU16(h + 4) == 0)
slot-first-page @@ src/base/image.cpp @@ if (v.firstPage != next) @@ if (v.firstPage > next)
section-write-fail-ok @@ src/base/section_writer.cpp @@ if (!ctx.image.Write(bytes.data(), bytes.size()) || !ctx.image.PadToPage(bytes.size())) { @@ if (!ctx.image.Write(bytes.data(), bytes.size())) {
# Firmware and read-me
tg-mode-case @@ src/base/names.cpp @@ if (Upper(a[i]) != Upper(b[i])) return false; @@ if (a[i] != b[i]) return false;
firmware-empty-ok @@ src/target/firmware.cpp @@ if (image.empty()) @@ if (false)
# Messages
word-ref-args-swapped @@ src/sentence/sentence_table.cpp @@ static_cast<int>(n), static_cast<int>(s.site.number), static_cast<int>(s.step), @@ static_cast<int>(s.site.number), static_cast<int>(n), static_cast<int>(s.step),
page-size-line @@ src/word/word_image.cpp @@ static_cast<int>(WordPages(entry)), path.c_str()); @@ static_cast<int>(WordPages(entry)) + 1, path.c_str());
# Tools
snx-output-is-input @@ tools/zlt900-snx/output.cpp @@ platform::InfoOf(other).id == target.id @@ false
snx-clip-low @@ tools/zlt900-snx/encode.cpp @@ const long low = -static_cast<long>(scale), high = static_cast<long>(scale) - 1; @@ const long low = -static_cast<long>(scale) + 1, high = static_cast<long>(scale) - 1;
snx-8bit-offset @@ tools/zlt900-snx/encode.cpp @@ static_cast<std::uint8_t>(q + 128) @@ static_cast<std::uint8_t>(q + 127)
link-depfile-escape @@ tools/zlt900-link/main.cpp @@ if (c == ' ' || c == '#' || c == '\\') out += '\\'; @@ if (c == ' ' || c == '\\') out += '\\';
link-clock-count @@ tools/zlt900-link/main.cpp @@ ++g_counts.clockTriggers; @@ {}
inspect-recover-force @@ tools/zlt900-inspect/main.cpp @@ if (!force && zlt::platform::InfoOf(path).kind != zlt::platform::FileKind::kNone) { @@ if (!force && zlt::platform::InfoOf(path).kind != zlt::platform::FileKind::kNone && false) {
LIST
}

mutants() {  # the list without its remarks
    mutant_list | sed '/^#/d; /^$/d'
}
if [ "${1:-}" = "--list" ]; then mutants | sed 's/ @@ .*//'; exit 0; fi

# The scratch copy: tracked files as they are in the working tree, and no
# others (a file removed since the last run must not be built). The files
# keep their times, so the build after the first is incremental.
rm -rf "$scratch/src"
mkdir -p "$scratch/src"
(cd "$top" && git ls-files -z | tar --null -T - -cf -) | tar -xf - -C "$scratch/src"
build=$scratch/build
cmake -S "$scratch/src" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DZLT_SANITIZE=ON \
      -DZLT_BUILD_BENCH=OFF >/dev/null
echo "building the unmutated copy"
cmake --build "$build" -j2 >"$scratch/build.log" 2>&1 || { tail -n 30 "$scratch/build.log"; exit 2; }
run_tests() {
    timeout "$limit" ctest --test-dir "$build" -j2 --stop-on-failure --timeout "$limit" -LE wine \
        >"$scratch/test.log" 2>&1
}
run_tests || { echo "the suite fails without a mutant:"; tail -n 20 "$scratch/test.log"; exit 2; }

killed=0 survived=0 stale=0 invalid=0 start=$(date +%s)
survivors=""
mutants >"$scratch/list"
while IFS= read -r line <&3; do
    name=${line%% @@ *}; rest=${line#* @@ }
    file=${rest%% @@ *}; rest=${rest#* @@ }
    if [ $# -gt 0 ]; then
        case " $* " in *" $name "*) ;; *) continue ;; esac
    fi
    target=$scratch/src/$file
    cp "$target" "$scratch/original"
    if ! python3 - "$target" "$rest" <<'PY'
import sys
path, change = sys.argv[1], sys.argv[2]
old, new = change.split(" @@ ", 1)
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
    then
        result=stale; stale=$((stale + 1))
    elif ! cmake --build "$build" -j2 >"$scratch/build.log" 2>&1; then
        result=invalid; invalid=$((invalid + 1))
    elif run_tests; then
        result=survived; survived=$((survived + 1)); survivors="$survivors $name"
    else
        result=killed; killed=$((killed + 1))
    fi
    cp "$scratch/original" "$target"
    printf '%-40s %s\n' "$name" "$result"
done 3<"$scratch/list"
cmake --build "$build" -j2 >/dev/null 2>&1 || true  # leave the copy built unmutated
echo
echo "killed $killed, survived $survived, stale $stale, invalid $invalid in $(( $(date +%s) - start )) s"
[ -z "$survivors" ] || echo "survivors:$survivors"
