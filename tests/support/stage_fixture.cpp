#include "support/stage_fixture.h"

#include "project/ini_file.h"

namespace zlt::test {

std::unique_ptr<LinkContext> StageContext(const std::string& ini, const std::string& projectPath) {
    auto ctx = std::make_unique<LinkContext>();
    ctx->ClearTables();
    ctx->projectPath = projectPath;
    ctx->reader = IniFile::Parse(ini);
    return ctx;
}

std::unique_ptr<LinkContext> ProjectContext(const TempDir& dir, const std::string& extra) {
    auto ctx = StageContext(MinimalProject(extra), dir / "project.zlp");
    ctx->imagePath = dir / "words.bin";
    return ctx;
}

}  // namespace zlt::test
