#include "link/pipeline.h"

#include "base/message.h"
#include "base/progress.h"
#include "base/names.h"
#include "options/option_table.h"
#include "platform/clock.h"
#include "sentence/sentence_table.h"
#include "target/firmware.h"
#include "target/readme.h"
#include "trigger/key_sections.h"
#include "trigger/key_table.h"
#include "trigger/trigger_table.h"
#include "word/word_image.h"
#include "word/word_table.h"

#include <cstring>

namespace zlt {

namespace {

using Stage = bool (*)(LinkContext&);
using SectionWriter = bool (*)(LinkContext&, DirSlot&);

bool CopyPath(const char* path, std::string& into) {
    if (path == nullptr) {
        LnkPrintf("\nErr: No file path given");
        return false;
    }
    if (std::strlen(path) > kMaxPathLength) {
        LnkPrintf("\nErr: Path longer than %d characters: %s", static_cast<int>(kMaxPathLength), path);
        return false;
    }
    into = path;
    return true;
}

// A finding about a head or system key: missing, or its value wrong.
Finding HeadFinding(const IniFile& ini, const char* section, const char* key, const char* fix,
                    Finding (*wrong)(TextSpan, const std::string&)) {
    const TextSpan at = ValueSpan(ini, section, key);
    if (ini.Find(section, key) == nullptr) return Found<Diag::kMissingKey>(at, key, section, key, fix);
    return wrong(at, *ini.Find(section, key));
}

bool InvalidProject(LinkContext& ctx, Finding finding) {
    return ctx.report.Fail(std::move(finding), "\nErr: Invalid ZLP file %s", ctx.projectPath.c_str());
}

}  // namespace

bool CheckHead(LinkContext& ctx) {
    const IniFile& ini = *ctx.reader;
    bool ok = true;
    if (ini.StrCmp("ZLP.Head", "Signature", "NVK") != 0) {
        ok = InvalidProject(ctx, HeadFinding(ini, "ZLP.Head", "Signature", "Signature=NVK",
                                             [](TextSpan at, const std::string& v) {
                                                 return Found<Diag::kBadSignature>(at, "Signature", v);
                                             }));
        if (!ctx.report.GoOn()) return false;
    }
    if (!(ini.ReadFloat("ZLP.Head", "Version", 0.0) >= 1.0)) {
        ok = InvalidProject(ctx, HeadFinding(ini, "ZLP.Head", "Version", "Version=1.0",
                                             [](TextSpan at, const std::string& v) {
                                                 return Found<Diag::kBadVersion>(at, "Version", v);
                                             }));
    }
    return ok;
}

bool CheckTarget(LinkContext& ctx) {
    const std::string target = ctx.reader->ReadString("ZLP.System", "Target", "");
    if (target != "ZELTA_900") {
        Finding f = HeadFinding(*ctx.reader, "ZLP.System", "Target", "Target=ZELTA_900",
                                [](TextSpan at, const std::string& v) {
                                    return Found<Diag::kBadTarget>(at, "Target", v);
                                });
        if (f.kind == Diag::kBadTarget && EqualsIgnoringCase(target, "ZELTA_900"))
            f.message += " (letter case matters)";
        return InvalidProject(ctx, std::move(f));
    }
    PutModelId(ctx.keyTable);
    LnkPrintf("\n        Model-ID = %s", ModelIdOf(ctx.keyTable).c_str());
    return true;
}

namespace {

bool CreateImage(LinkContext& ctx) {
    if (!ctx.image.Open(ctx.imagePath)) {
        if (ctx.image.NamesFifo())
            LnkPrintf("\nErr: Image file %s is a FIFO; an image is written to a file or a device",
                      ctx.imagePath.c_str());
        else
            LnkPrintf("\nErr: Can not create file %s", ctx.imagePath.c_str());
        return false;
    }
    // The image must not replace what the link reads; the clips are checked
    // as the word table names them.
    if (ctx.image.Overwrites(ctx.projectPath)) {
        LnkPrintf("\nErr: Image file %s is the project file %s", ctx.imagePath.c_str(),
                  ctx.projectPath.c_str());
        return false;
    }
    ctx.pageCounter = 0;
    auto header = ctx.header.Serialize();
    if (!ctx.image.Write(header.data(), header.size())) {
        LnkPrintf("\nErr: Can not wrtie file %s", ctx.imagePath.c_str());
        return false;
    }
    ctx.pageCounter = 1;
    return true;
}

bool RunStage(LinkContext& ctx, Format<> progress, Stage stage) {
    LnkPrintf(progress);
    return stage(ctx);
}

bool WriteSection(LinkContext& ctx, Format<> progress, SectionType type, SectionWriter writer,
                  Format<int> done) {
    LnkPrintf(progress);
    DirSlot& slot = ctx.header.Slot(type);
    slot.type = type;
    slot.firstPage = ctx.pageCounter;
    if (!writer(ctx, slot)) return false;
    ctx.pageCounter += slot.pageCount;
    LnkPrintf(done, static_cast<int>(slot.pageCount));
    return true;
}

bool CompleteHeader(LinkContext& ctx) {
    auto header = ctx.header.Serialize();
    if (!ctx.image.Rewind() || !ctx.image.Write(header.data(), header.size()) ||
        !ctx.image.Commit()) {
        LnkPrintf("\nErr: Can not wrtie file %s", ctx.imagePath.c_str());
        return false;
    }
    return true;
}

bool Link(LinkContext& ctx, const char* projectPath, const char* imagePath) {
    LnkPrintf("\nInitial Linker for Zelta-900");
    if (!CopyPath(projectPath, ctx.projectPath) || !CopyPath(imagePath, ctx.imagePath))
        return false;
    ctx.ClearTables();
    ctx.report.Start(Reporter::Mode::kLink, ctx.projectPath);

    // Read the project and check its head.
    LnkPrintf("\nInitial %s", ctx.projectPath.c_str());
    ctx.reader = IniFile::Load(ctx.projectPath.c_str());
    if (!ctx.reader) {
        LnkPrintf("\nErr: Can not load file %s", ctx.projectPath.c_str());
        return false;
    }
    ReportInput(ctx.projectPath.c_str());
    if (!CheckHead(ctx)) return false;

    // Create the image with a provisional header.
    LnkPrintf("\nInitial %s", ctx.imagePath.c_str());
    if (!CreateImage(ctx)) return false;

    // Check the target model and store its Model-ID.
    LnkPrintf("\nProcess Target");
    if (!CheckTarget(ctx)) return false;

    // Parse the project's tables.
    if (!RunStage(ctx, "\nParsing Option-Table", ParseOptionTable) ||
        !RunStage(ctx, "\nParsing Word-Table", ParseWordTable) ||
        !RunStage(ctx, "\nParsing Sentence-Table", CompileSentenceTable) ||
        !RunStage(ctx, "\nParsing Trigger-Table", ParseTriggerTable) ||
        !RunStage(ctx, "\nSorting Word-Table", PlaceWords))
        return false;

    // Write the sections, each from the next free page. The key table's time
    // stamp and the read-me show the same link time.
    ctx.header.Slot(1).type = 0;
    ctx.linkTime = GetLocalTime();
    if (!WriteSection(ctx, "\nProcess System-K", kSectionFirmware, WriteFirmwareSection,
                      "\n        PageSize = %d") ||
        !WriteSection(ctx, "\nProcess ZLT_KTAB.BIN", kSectionKeyTable, WriteKeyTableSection,
                      "\n        PageSize = %d") ||
        !WriteSection(ctx, "\nProcess ZLT_TTAB.BIN", kSectionTriggerTable,
                      WriteTriggerTableSection, "\n        PageSize = %d") ||
        !WriteSection(ctx, "\nProcess ZLT_STAB.BIN", kSectionSentenceTable,
                      WriteSentenceTableSection, "\n        PageSize = %d") ||
        !WriteSection(ctx, "\nProcess ZLT_WTAB.BIN", kSectionWordTable, WriteWordTableSection,
                      "\n        PageSize = %d") ||
        !WriteSection(ctx, "\nProcess ZLT_WIMG.BIN", kSectionWordImage, WriteWordImageSection,
                      "\n        PageSize of ZLT_WIMG.BIN = %d") ||
        !WriteSection(ctx, "\nProcess ReadMe.txt", kSectionReadme, WriteReadmeSection,
                      "\n        PageSize = %d"))
        return false;

    // Rewrite the header with the completed directory and move the image into place.
    if (!CompleteHeader(ctx)) return false;
    ctx.reader.reset();
    LnkPrintf("\nProcess OK !!!");
    return true;
}

}  // namespace

bool MakeZltCfo(LinkContext& ctx, const char* projectPath, const char* imagePath) {
    if (Link(ctx, projectPath, imagePath)) return true;
    ctx.image.Discard();
    ctx.reader.reset();
    return false;
}

}  // namespace zlt
