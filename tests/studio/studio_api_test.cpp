// The studio's HTTP API, served in this process on a free port of
// 127.0.0.1 over a copy of the demo project, used as the page uses it.
#include "player/render.h"
#include "studio/server.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cmath>

namespace zlt::studio {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class StudioApi : public ::testing::Test {
protected:
    void SetUp() override {
        for (const fs::directory_entry& e : fs::directory_iterator(ZLT_SOURCE_DIR "/examples/demo"))
            if (e.is_regular_file()) fs::copy_file(e.path(), dir.path() / e.path().filename());
        std::string error;
        StudioOptions options;
        options.project = project;
        options.maxBody = 4096;
        options.maxUpload = 65536;
        ASSERT_TRUE(studio.Start(options, error)) << error;
        client = std::make_unique<httplib::Client>("127.0.0.1", static_cast<int>(studio.port()));
        client->set_read_timeout(300);  // a link takes its time under valgrind
    }
    std::string Port() const { return std::to_string(studio.port()); }
    std::string Origin() const { return "http://127.0.0.1:" + Port(); }
    httplib::Headers Auth() const { return {{"X-Studio-Token", studio.token()}, {"Origin", Origin()}}; }
    httplib::Result Get(const std::string& path) { return client->Get(path.c_str(), Auth()); }
    httplib::Result Put(const std::string& key, const json& value) {
        return client->Put(("/api/entry/" + key).c_str(), Auth(), json{{"value", value}}.dump(), "application/json");
    }
    httplib::Result Post(const std::string& path, const json& body = json::object()) {
        return client->Post(path.c_str(), Auth(), body.dump(), "application/json");
    }
    httplib::Result Upload(const std::string& content, const std::string& name, const std::string& clip = "") {
        httplib::MultipartFormDataItems items = {{"file", content, name, "audio/wav"}};
        if (!clip.empty()) items.push_back({"clip", clip, "", ""});
        return client->Post("/api/words", Auth(), items);
    }
    json Project() {
        const httplib::Result r = Get("/api/project");
        if (!r) throw std::runtime_error("no answer to GET /api/project");
        return json::parse(r->body);
    }

    test::TempDir dir;
    const std::string project = dir / "demo.zlp";
    Studio studio;
    std::unique_ptr<httplib::Client> client;
};

// A short tone as a WAV file, the kind of file a user drops on the page.
std::string ToneWav() {
    std::vector<std::int16_t> samples(3200);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(8000 * std::sin(i * 0.2));
    std::string error;
    const auto wav = player::WavFileBytes(samples, 16000, error);
    return std::string(wav->begin(), wav->end());
}

TEST_F(StudioApi, RefusesRequestsWithoutTokenFromForeignHostsAndWritesFromForeignOrigins) {
    const std::string token = studio.token();
    std::string wrong = token;
    wrong[5] ^= 1;
    struct Case {
        const char* name;
        bool write;
        std::string path;
        httplib::Headers headers;
        int status;
    };
    const Case cases[] = {
        {"no token", false, "/api/project", {}, 401},
        {"wrong token", false, "/api/project", {{"X-Studio-Token", wrong}}, 401},
        {"token cut short", false, "/api/project", {{"X-Studio-Token", token.substr(0, 32)}}, 401},
        {"token in a request's address", false, "/api/project?token=" + token, {}, 401},
        {"token cookie", false, "/api/project", {{"Cookie", "a=b; zlt900_studio_" + Port() + "=" + token}}, 200},
        {"cookie of another port", false, "/api/project", {{"Cookie", "zlt900_studio_1=" + token}}, 401},
        {"foreign Host", false, "/api/project", {{"X-Studio-Token", token}, {"Host", "evil.example:" + Port()}}, 403},
        {"Host of another port", false, "/api/project", {{"X-Studio-Token", token}, {"Host", "127.0.0.1:1"}}, 403},
        {"Host localhost", false, "/api/project", {{"X-Studio-Token", token}, {"Host", "localhost:" + Port()}}, 200},
        {"Host [::1]", false, "/api/check", {{"X-Studio-Token", token}, {"Host", "[::1]:" + Port()}}, 200},
        {"page without token", false, "/", {}, 401},
        {"script without token", false, "/app.js", {}, 401},
        {"write without token", true, "/api/entry/S0000", {{"Origin", Origin()}}, 401},
        {"write without Origin", true, "/api/entry/S0000", {{"X-Studio-Token", token}}, 403},
        {"write from a foreign Origin", true, "/api/entry/S0000", {{"X-Studio-Token", token}, {"Origin", "http://evil.example"}}, 403},
        {"write from another port", true, "/api/entry/S0000", {{"X-Studio-Token", token}, {"Origin", "http://127.0.0.1:1"}}, 403},
        {"save from a foreign Origin", true, "/api/save", {{"X-Studio-Token", token}, {"Origin", "null"}}, 403},
    };
    for (const Case& c : cases) {
        const httplib::Result r = c.write ? client->Put(c.path.c_str(), c.headers, R"({"value": "N"})", "application/json")
                                          : client->Get(c.path.c_str(), c.headers);
        ASSERT_TRUE(r) << c.name;
        EXPECT_EQ(r->status, c.status) << c.name;
    }
    EXPECT_EQ(Project()["project"]["edited"], json::array()) << "a refused request changes nothing";

    // The page takes the token from its address and hands it to a cookie
    // that scripts cannot read and other sites cannot send.
    const httplib::Result page = client->Get(("/?token=" + token).c_str());
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<script type=\"module\" src=\"app.js\">"), std::string::npos);
    EXPECT_EQ(page->get_header_value("Set-Cookie"),
              "zlt900_studio_" + Port() + "=" + token + "; Path=/; HttpOnly; SameSite=Strict");
    const httplib::Result script = client->Get("/views/words.js", {{"Cookie", "zlt900_studio_" + Port() + "=" + token}});
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
}

TEST_F(StudioApi, NoPathLeavesTheProjectFolder) {
    test::TempDir outside;
    fs::copy_file(dir / "beep.snx", outside / "x.snx");
    fs::create_directory_symlink(outside.path(), dir.path() / "out");
    fs::create_symlink(outside / "x.snx", dir.path() / "leak.snx");
    const struct {
        const char* name;
        std::function<httplib::Result()> request;
        int status;
    } cases[] = {
        {"clip with ..", [&] { return Put("W0009", "../demo/beep.snx"); }, 400},
        {"clip with .. inside", [&] { return Put("W0009", "a/../../beep.snx"); }, 400},
        {"absolute clip", [&] { return Put("W0009", outside / "x.snx"); }, 400},
        {"clip through a folder link out", [&] { return Put("W0009", "out/x.snx"); }, 400},
        {"clip that links out", [&] { return Put("W0009", "leak.snx"); }, 400},
        {"image with ..", [&] { return Post("/api/link", {{"image", "../demo.cfo"}}); }, 400},
        {"absolute image", [&] { return Post("/api/link", {{"image", outside / "demo.cfo"}}); }, 400},
        {"image through a folder link out", [&] { return Post("/api/link", {{"image", "out/demo.cfo"}}); }, 400},
        {"upload with ..", [&] { return Upload(ToneWav(), "tone.wav", "../tone.snx"); }, 400},
        {"upload named with a folder", [&] { return Upload(ToneWav(), "../tone.wav"); }, 400},
        {"upload through a folder link out", [&] { return Upload(ToneWav(), "tone.wav", "out/tone.snx"); }, 400},
    };
    for (const auto& c : cases) {
        const httplib::Result r = c.request();
        ASSERT_TRUE(r) << c.name;
        EXPECT_EQ(r->status, c.status) << c.name;
    }
    EXPECT_EQ(Project()["project"]["edited"], json::array());
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 1);

    // A clip that the project file itself names through a link out is neither read nor served.
    std::string text = test::ReadFile(project);
    text.insert(text.find("W0004=chime.snx\n"), "W0009=leak.snx\n");
    test::WriteFile(project, text);
    ASSERT_EQ(Post("/api/reload")->status, 200);
    EXPECT_EQ(Get("/api/word/9.wav")->status, 403);
    EXPECT_EQ(Project()["words"][4]["error"], "the clip lies outside the project folder");
}

TEST_F(StudioApi, RefusesBodiesOverTheLimits) {
    EXPECT_EQ(Put("S0000", std::string(5000, 'N'))->status, 413);
    EXPECT_EQ(Upload(std::string(100000, 'x'), "big.wav")->status, 413);
    EXPECT_EQ(Project()["project"]["edited"], json::array());
    EXPECT_FALSE(fs::exists(dir / "big.snx"));
}

TEST_F(StudioApi, ServesTheProjectItsSoundAndItsImage) {
    const json p = Project();
    EXPECT_EQ(p["words"].size(), 4u);
    EXPECT_EQ(p["words"][1]["format"]["rate"], 16000);
    EXPECT_EQ(p["words"][1]["usedBy"], json({0, 2}));
    EXPECT_EQ(p["sentences"][2]["steps"][2]["kind"], "jump");
    EXPECT_EQ(p["triggers"].size(), 8u);
    EXPECT_EQ(p["triggers"][7]["bound"]["clock"]["text"], "MON~FRI/8~17:0");
    EXPECT_EQ(p["options"][12]["accepted"], json({1200, 2400, 4800, 9600}));
    EXPECT_EQ(json::parse(Get("/api/check")->body)["diagnostics"], json::array());

    const struct {
        std::string path;
        int status;
        const char* type;
    } gets[] = {
        {"/api/word/2.wav", 200, "audio/wav"},
        {"/api/word/5.wav", 404, "application/json"},
        {"/api/play.wav?sentence=0", 200, "audio/wav"},
        {"/api/play.wav?trigger=1&seed=3&inputs=ff&rate=8000", 200, "audio/wav"},
        {"/api/play.wav", 400, "application/json"},
        {"/api/play.wav?sentence=9", 404, "application/json"},
        {"/api/play.wav?trigger=10", 404, "application/json"},
        {"/api/play.wav?sentence=0&at=noon", 400, "application/json"},
        {"/api/trace?sentence=2&at=2026-12-07%2009:00:00", 200, "application/json"},
        {"/api/agenda?from=2026-12-07&to=2026-12-14", 200, "application/json"},
        {"/api/agenda?from=monday", 400, "application/json"},
        {"/api/image", 404, "application/json"},
        {"/api/nothing", 404, "application/json"},
    };
    for (const auto& g : gets) {
        const httplib::Result r = Get(g.path);
        ASSERT_TRUE(r) << g.path;
        EXPECT_EQ(r->status, g.status) << g.path;
        EXPECT_EQ(r->get_header_value("Content-Type"), g.type) << g.path;
        if (std::string_view(g.type) == "audio/wav") {
            EXPECT_EQ(r->body.substr(0, 4), "RIFF") << g.path;
        }
    }
    const json trace = json::parse(Get("/api/trace?sentence=2&at=2026-12-07%2009:00:00")->body);
    EXPECT_EQ(trace["sentence"], "S0002");
    EXPECT_TRUE(trace["endsBySelf"]);
    const json agenda = json::parse(Get("/api/agenda?from=2026-12-07&to=2026-12-14")->body);
    EXPECT_EQ(agenda["entries"].size(), 57u);  // MON~FRI/8~17:0 ten times a weekday, 12:0 daily
    EXPECT_EQ(agenda["triggerMode"], "TGM_BIN_M2");

    const json linked = json::parse(Post("/api/link")->body);
    EXPECT_TRUE(linked["success"]);
    EXPECT_EQ(linked["lines"].back(), "Process OK !!!");
    EXPECT_EQ(linked["directory"].size(), 7u);
    EXPECT_EQ(linked["words"].size(), 4u);
    EXPECT_EQ(Get("/api/image")->body, test::ReadFile(dir / "demo.cfo"));

    // The log as it comes: a JSON line for each line of the link, then the result.
    httplib::Headers stream = Auth();
    stream.emplace("Accept", "application/x-ndjson");
    const httplib::Result r = client->Post("/api/link", stream, R"({"image": "again.cfo"})", "application/json");
    std::vector<json> lines;
    for (std::size_t at = 0, lf; (lf = r->body.find('\n', at)) != std::string::npos; at = lf + 1)
        lines.push_back(json::parse(r->body.substr(at, lf - at)));
    EXPECT_EQ(lines.front()["line"], "Initial Linker for Zelta-900");
    EXPECT_TRUE(lines.back()["success"]);
    EXPECT_EQ(fs::file_size(dir / "again.cfo"), fs::file_size(dir / "demo.cfo"));
}

TEST_F(StudioApi, EditsAreCheckedAsTheyCome) {
    json d = json::parse(Put("S0000", "W0001+M200+W0099")->body)["diagnostics"];
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]["severity"], "error");
    EXPECT_EQ(d[0]["key"], "S0000");
    // Its place in the value covers W0099 (bytes 11 to 15).
    EXPECT_LE(d[0]["valueOffset"].get<int>(), 11);
    EXPECT_GE(d[0]["valueOffset"].get<int>() + d[0]["length"].get<int>(), 16);
    EXPECT_EQ(Project()["project"]["edited"], json({"S0000"}));
    EXPECT_EQ(Get("/api/play.wav?sentence=0")->status, 422);  // nothing to play while it does not link

    d = json::parse(Put("S0000", "W0001+M200+W0002")->body)["diagnostics"];
    EXPECT_EQ(d, json::array());
    EXPECT_EQ(Project()["project"]["edited"], json::array()) << "the file's own value again";

    EXPECT_EQ(Put("T0010", nullptr)->status, 200);
    EXPECT_EQ(Project()["triggers"].size(), 7u);
    EXPECT_EQ(Put("Nothing", "1")->status, 404);
    EXPECT_EQ(Put("S0000", 5)->status, 400);
    EXPECT_EQ(Put("S0000", "W0001\nW0002")->status, 400);
}

TEST_F(StudioApi, SavingKeepsCommentsAndCrlfByteForByte) {
    std::string crlf;
    for (char c : test::ReadFile(project)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    test::WriteFile(project, crlf);
    ASSERT_EQ(Post("/api/reload")->status, 200);
    for (const auto& [key, value] : std::vector<std::pair<std::string, json>>{
             {"S0001", "W0001+M100+W0001 ; twice"}, {"T0011", "LUN + S0000"}, {"BaudRate", "4800"},
             {"STOP_Signal", "2"}, {"T0010", nullptr}})
        ASSERT_EQ(Put(key, value)->status, 200) << key;
    ASSERT_EQ(Post("/api/save")->status, 200);

    std::string expected = crlf;
    auto replace = [&](const std::string& from, const std::string& to) {
        ASSERT_NE(expected.find(from), std::string::npos) << from;
        expected.replace(expected.find(from), from.size(), to);
    };
    replace("S0001=^MOV_R1_3+W0001+M100+^DJNZ_R1_STEP1+^RET\r\n", "S0001=W0001+M100+W0001 ; twice\r\n");
    replace("T7933=EHI + S0001 + 12:0\r\n", "T7933=EHI + S0001 + 12:0\r\nT0011=LUN + S0000\r\n");
    replace("BaudRate=9600\r\n", "BaudRate=4800\r\n");
    replace("StartupPlayVtg=0\r\n", "StartupPlayVtg=0\r\nSTOP_Signal=2\r\n");
    replace("T0010=LUN + N ; not used\r\n", "");
    EXPECT_EQ(test::ReadFile(project), expected);
    EXPECT_EQ(Project()["project"]["edited"], json::array());
}

TEST_F(StudioApi, ASaveAfterAnOutsideChangeIsRefusedAndNothingIsLost) {
    ASSERT_EQ(Put("S0000", "W0002")->status, 200);
    std::string outside = test::ReadFile(project);
    outside.replace(outside.find("Description=Demo"), 16, "Description=Mine");
    test::WriteFile(project, outside);

    const httplib::Result refused = Post("/api/save");
    EXPECT_EQ(refused->status, 409);
    EXPECT_TRUE(json::parse(refused->body)["conflict"]);
    EXPECT_EQ(test::ReadFile(project), outside);
    EXPECT_EQ(Project()["project"]["edited"], json({"S0000"}));

    // Keeping the edits applies them to the file as it is now.
    ASSERT_EQ(Post("/api/reload", {{"keepEdits", true}})->status, 200);
    ASSERT_EQ(Post("/api/save")->status, 200);
    std::string expected = outside;
    expected.replace(expected.find("S0000=W0001+M200+W0002"), 22, "S0000=W0002");
    EXPECT_EQ(test::ReadFile(project), expected);

    // Reloading drops them.
    ASSERT_EQ(Put("S0000", "W0003")->status, 200);
    ASSERT_EQ(Post("/api/reload", {{"keepEdits", false}})->status, 200);
    EXPECT_EQ(Project()["project"]["edited"], json::array());
}

TEST_F(StudioApi, AnUploadedAudioFileBecomesAWord) {
    const httplib::Result r = Upload(ToneWav(), "tone.wav");
    ASSERT_EQ(r->status, 200) << r->body;
    const json added = json::parse(r->body);
    EXPECT_EQ(added["key"], "W0005");
    EXPECT_EQ(added["clip"], "tone.snx");
    EXPECT_TRUE(fs::is_regular_file(dir / "tone.snx"));
    const json word = Project()["words"][4];
    EXPECT_EQ(word["key"], "W0005");
    EXPECT_EQ(word["format"]["rate"], 16000);
    EXPECT_EQ(Get("/api/word/5.wav")->status, 200);

    EXPECT_EQ(Upload(ToneWav(), "tone.wav")->status, 409) << "the clip is there already";
    EXPECT_EQ(Upload("no audio", "noise.wav")->status, 422);
    EXPECT_FALSE(fs::exists(dir / "noise.snx"));
}

}  // namespace
}  // namespace zlt::studio
