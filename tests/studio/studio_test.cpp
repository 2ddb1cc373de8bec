// The studio's HTTP API, served in this process on a free port of
// 127.0.0.1 over a copy of the demo project and used as the page uses it;
// and zlt900-studio as a command, what it refuses before it serves (serving
// and stopping with Ctrl-C are the browser test's).
#include "studio/server.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace zlt::studio {
namespace {

using httplib::Headers;
using nlohmann::json;
namespace fs = std::filesystem;

// The text with `from` replaced by `to`; `from` must be in it.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("no '" + from + "' in the text");
    return text.replace(at, from.size(), to);
}

class StudioApi : public ::testing::Test {
protected:
    void SetUp() override {
        for (const fs::directory_entry& e : fs::directory_iterator(ZLT_SOURCE_DIR "/examples/demo"))
            if (e.is_regular_file()) fs::copy_file(e.path(), dir.path() / e.path().filename());
        std::string error;
        const StudioOptions options{.project = project, .port = 0, .token = "", .maxBody = 4096, .maxUpload = 65536};
        ASSERT_TRUE(studio.Start(options, error)) << error;
        client = std::make_unique<httplib::Client>("127.0.0.1", static_cast<int>(studio.port()));
        client->set_read_timeout(300);  // a link takes its time under valgrind
    }
    std::string Port() const { return std::to_string(studio.port()); }
    std::string Origin() const { return "http://127.0.0.1:" + Port(); }
    Headers Auth() const { return {{"X-Studio-Token", studio.token()}, {"Origin", Origin()}}; }
    httplib::Result Get(const std::string& path) { return client->Get(path, Auth()); }
    httplib::Result Put(const std::string& key, const json& value) {
        return client->Put("/api/entry/" + key, Auth(), json{{"value", value}}.dump(), "application/json");
    }
    httplib::Result Post(const std::string& path, const json& body = json::object()) {
        return client->Post(path, Auth(), body.dump(), "application/json");
    }
    httplib::Result Upload(const std::string& content, const std::string& name, const std::string& clip = "") {
        httplib::MultipartFormDataItems items = {{"file", content, name, "audio/wav"}};
        if (!clip.empty()) items.push_back({"clip", clip, "", ""});
        return client->Post("/api/words", Auth(), items);
    }
    json Project() { return json::parse(Get("/api/project")->body); }
    json Edited() { return Project()["project"]["edited"]; }

    test::TempDir dir;
    const std::string project = dir / "demo.zlp";
    // Audio of the kind a user drops on the page.
    const std::string wav = test::ReadFile(ZLT_SOURCE_DIR "/examples/demo/audio/beep.wav");
    Studio studio;
    std::unique_ptr<httplib::Client> client;
};

// What the studio refuses, and the few requests near them that it takes. A
// refused request changes nothing: no edit, no file in the folder or outside.
TEST_F(StudioApi, RefusesWhatItMustAndChangesNothing) {
    test::TempDir outside;
    fs::copy_file(dir / "beep.snx", outside / "x.snx");
    fs::create_directory_symlink(outside.path(), dir.path() / "out");
    fs::create_symlink(outside / "x.snx", dir.path() / "leak.snx");
    // A clip that the project file itself names through a link out.
    test::WriteFile(project, Replaced(test::ReadFile(project), "W0004=", "W0009=leak.snx\nW0004="));
    ASSERT_EQ(Post("/api/reload")->status, 200);
    auto files = [](const fs::path& folder) {
        std::map<std::string, std::string> bytes;
        for (const fs::directory_entry& e : fs::directory_iterator(folder))
            bytes[e.path().filename()] = e.is_regular_file() ? test::ReadFile(e.path()) : "";
        return bytes;
    };
    const auto inside = files(dir.path()), beyond = files(outside.path());

    const std::string token = studio.token(), cookie = "zlt900_studio_" + Port() + "=" + token;
    std::string wrong = token;
    wrong[5] ^= 1;
    auto get = [this](const std::string& path, const Headers& headers) {
        return [=, this] { return client->Get(path, headers); };
    };
    auto put = [this](const Headers& headers) {
        return [=, this] { return client->Put("/api/entry/S0000", headers, R"({"value": "N"})", "application/json"); };
    };
    const struct {
        const char* name;
        std::function<httplib::Result()> request;
        int status;
    } cases[] = {
        {"no token", get("/api/project", {}), 401},
        {"wrong token", get("/api/project", {{"X-Studio-Token", wrong}}), 401},
        {"token cut short", get("/api/project", {{"X-Studio-Token", token.substr(0, 32)}}), 401},
        {"token in a request's address", get("/api/project?token=" + token, {}), 401},
        {"token cookie", get("/api/project", {{"Cookie", "a=b; " + cookie}}), 200},
        {"cookie of another port", get("/api/project", {{"Cookie", "zlt900_studio_1=" + token}}), 401},
        {"foreign Host", get("/api/project", {{"X-Studio-Token", token}, {"Host", "evil.example:" + Port()}}), 403},
        {"Host of another port", get("/api/project", {{"X-Studio-Token", token}, {"Host", "127.0.0.1:1"}}), 403},
        {"Host localhost", get("/api/project", {{"X-Studio-Token", token}, {"Host", "localhost:" + Port()}}), 200},
        {"Host [::1]", get("/api/check", {{"X-Studio-Token", token}, {"Host", "[::1]:" + Port()}}), 200},
        {"page without token", get("/", {}), 401},
        {"script without token", get("/app.js", {}), 401},
        {"write without token", put({{"Origin", Origin()}}), 401},
        {"write without Origin", put({{"X-Studio-Token", token}}), 403},
        {"write from a foreign Origin", put({{"X-Studio-Token", token}, {"Origin", "http://evil.example"}}), 403},
        {"write from another port", put({{"X-Studio-Token", token}, {"Origin", "http://127.0.0.1:1"}}), 403},
        {"save from a foreign Origin",
         [&] { return client->Post("/api/save", Headers{{"X-Studio-Token", token}, {"Origin", "null"}}); }, 403},
        {"clip with ..", [&] { return Put("W0009", "../demo/beep.snx"); }, 400},
        {"clip with .. inside", [&] { return Put("W0009", "a/../../beep.snx"); }, 400},
        {"absolute clip", [&] { return Put("W0009", outside / "x.snx"); }, 400},
        {"clip through a folder link out", [&] { return Put("W0009", "out/x.snx"); }, 400},
        {"clip that links out", [&] { return Put("W0009", "leak.snx"); }, 400},
        {"clip the file names through a link out", [&] { return Get("/api/word/9.wav"); }, 403},
        {"image with ..", [&] { return Post("/api/link", {{"image", "../demo.cfo"}}); }, 400},
        {"absolute image", [&] { return Post("/api/link", {{"image", outside / "demo.cfo"}}); }, 400},
        {"image through a folder link out", [&] { return Post("/api/link", {{"image", "out/demo.cfo"}}); }, 400},
        {"upload with ..", [&] { return Upload(wav, "tone.wav", "../tone.snx"); }, 400},
        {"upload named with a folder", [&] { return Upload(wav, "../tone.wav"); }, 400},
        {"upload through a folder link out", [&] { return Upload(wav, "tone.wav", "out/tone.snx"); }, 400},
        {"body over the limit", [&] { return Put("S0000", std::string(5000, 'N')); }, 413},
        {"upload over the limit", [&] { return Upload(std::string(100000, 'x'), "big.wav"); }, 413},
        {"upload of no audio", [&] { return Upload("no audio", "noise.wav"); }, 422},
        {"upload over a clip that is there", [&] { return Upload(wav, "beep.wav"); }, 409},
        {"no such entry", [&] { return Put("Nothing", "1"); }, 404},
        {"value not a string", [&] { return Put("S0000", 5); }, 400},
        {"value of two lines", [&] { return Put("S0000", "W0001\nW0002"); }, 400},
    };
    for (const auto& c : cases) {
        const httplib::Result r = c.request();
        ASSERT_TRUE(r) << c.name;
        EXPECT_EQ(r->status, c.status) << c.name;
    }
    EXPECT_EQ(Edited(), json::array());
    EXPECT_TRUE(files(dir.path()) == inside) << "a refused request changed the project folder";
    EXPECT_TRUE(files(outside.path()) == beyond) << "a refused request wrote outside the project folder";
    EXPECT_EQ(Project()["words"][4]["error"], "the clip lies outside the project folder");

    // The page takes the token from its address and hands it to a cookie
    // that scripts cannot read and other sites cannot send.
    const httplib::Result page = client->Get("/?token=" + token);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<script type=\"module\" src=\"app.js\">"), std::string::npos);
    EXPECT_EQ(page->get_header_value("Set-Cookie"), cookie + "; Path=/; HttpOnly; SameSite=Strict");
    const httplib::Result script = client->Get("/views/words.js", {{"Cookie", cookie}});
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
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

    // Sound comes as WAV, anything refused as a JSON error.
    const std::pair<std::string, int> gets[] = {
        {"/api/word/2.wav", 200},
        {"/api/word/5.wav", 404},
        {"/api/play.wav?sentence=0", 200},
        {"/api/play.wav?trigger=1&seed=3&inputs=ff&rate=8000", 200},
        {"/api/play.wav", 400},
        {"/api/play.wav?sentence=9", 404},
        {"/api/play.wav?trigger=10", 404},
        {"/api/play.wav?sentence=0&at=noon", 400},
        {"/api/agenda?from=monday", 400},
        {"/api/image", 404},
    };
    for (const auto& [path, status] : gets) {
        const httplib::Result r = Get(path);
        ASSERT_TRUE(r) << path;
        EXPECT_EQ(r->status, status) << path;
        EXPECT_EQ(r->get_header_value("Content-Type"), status == 200 ? "audio/wav" : "application/json") << path;
        EXPECT_EQ(r->body.starts_with("RIFF"), status == 200) << path;
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
    Headers stream = Auth();
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
    const json d = json::parse(Put("S0000", "W0001+M200+W0099")->body)["diagnostics"];
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]["severity"], "error");
    EXPECT_EQ(d[0]["key"], "S0000");
    // Its place in the value covers W0099 (bytes 11 to 15).
    EXPECT_LE(d[0]["valueOffset"].get<int>(), 11);
    EXPECT_GE(d[0]["valueOffset"].get<int>() + d[0]["length"].get<int>(), 16);
    EXPECT_EQ(Edited(), json({"S0000"}));
    EXPECT_EQ(Get("/api/play.wav?sentence=0")->status, 422);  // nothing to play while it does not link

    EXPECT_EQ(json::parse(Put("S0000", "W0001+M200+W0002")->body)["diagnostics"], json::array());
    EXPECT_EQ(Edited(), json::array()) << "the file's own value again";
}

TEST_F(StudioApi, SavingKeepsCommentsAndCrlfByteForByte) {
    std::string crlf;
    for (char c : test::ReadFile(project)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    test::WriteFile(project, crlf);
    ASSERT_EQ(Post("/api/reload")->status, 200);
    // Each edit, and what it makes of the file's lines.
    const struct {
        const char* key;
        json value;
        std::string from, to;
    } edits[] = {
        {"S0001", "W0001+M100+W0001 ; twice", "S0001=^MOV_R1_3+W0001+M100+^DJNZ_R1_STEP1+^RET\r\n",
         "S0001=W0001+M100+W0001 ; twice\r\n"},
        {"T0011", "LUN + S0000", "T7933=EHI + S0001 + 12:0\r\n", "T7933=EHI + S0001 + 12:0\r\nT0011=LUN + S0000\r\n"},
        {"BaudRate", "4800", "BaudRate=9600\r\n", "BaudRate=4800\r\n"},
        {"STOP_Signal", "2", "StartupPlayVtg=0\r\n", "StartupPlayVtg=0\r\nSTOP_Signal=2\r\n"},
        {"T0010", nullptr, "T0010=LUN + N ; not used\r\n", ""},
    };
    std::string expected = crlf;
    for (const auto& e : edits) {
        ASSERT_EQ(Put(e.key, e.value)->status, 200) << e.key;
        expected = Replaced(expected, e.from, e.to);
    }
    ASSERT_EQ(Post("/api/save")->status, 200);
    EXPECT_EQ(test::ReadFile(project), expected);
    EXPECT_EQ(Edited(), json::array());
}

TEST_F(StudioApi, ASaveAfterAnOutsideChangeIsRefusedAndNothingIsLost) {
    ASSERT_EQ(Put("S0000", "W0002")->status, 200);
    const std::string outside = Replaced(test::ReadFile(project), "Description=Demo", "Description=Mine");
    test::WriteFile(project, outside);

    const httplib::Result refused = Post("/api/save");
    EXPECT_EQ(refused->status, 409);
    EXPECT_TRUE(json::parse(refused->body)["conflict"]);
    EXPECT_EQ(test::ReadFile(project), outside);
    EXPECT_EQ(Edited(), json({"S0000"}));

    // Keeping the edits applies them to the file as it is now.
    ASSERT_EQ(Post("/api/reload", {{"keepEdits", true}})->status, 200);
    ASSERT_EQ(Post("/api/save")->status, 200);
    EXPECT_EQ(test::ReadFile(project), Replaced(outside, "S0000=W0001+M200+W0002", "S0000=W0002"));

    // Reloading drops them.
    ASSERT_EQ(Put("S0000", "W0003")->status, 200);
    ASSERT_EQ(Post("/api/reload", {{"keepEdits", false}})->status, 200);
    EXPECT_EQ(Edited(), json::array());
}

TEST_F(StudioApi, AnUploadedAudioFileBecomesAWord) {
    const httplib::Result r = Upload(wav, "tone.wav");
    ASSERT_EQ(r->status, 200) << r->body;
    const json added = json::parse(r->body);
    EXPECT_EQ(added["key"], "W0005");
    EXPECT_EQ(added["clip"], "tone.snx");
    EXPECT_EQ(Project()["words"][4]["format"]["rate"], 16000);  // as the clip written says
    EXPECT_EQ(Get("/api/word/5.wav")->status, 200);  // the word is W0005 in the project too
}

}  // namespace
}  // namespace zlt::studio
