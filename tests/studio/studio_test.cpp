// The studio's HTTP API, served in this process on a free port of
// 127.0.0.1 over a copy of the demo project and used as the page uses it.
// What the page shows of it, the streamed link and Ctrl-C are the browser
// test's; what the command refuses before it serves, tests/golden/studio.txt.
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
    const std::tuple<const char*, std::function<httplib::Result()>, int> cases[] = {
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
        {"no such word", get("/api/word/5.wav", Auth()), 404},
        {"play of nothing", get("/api/play.wav", Auth()), 400},
        {"play of no such sentence", get("/api/play.wav?sentence=9", Auth()), 404},
        {"play of a trigger not bound", get("/api/play.wav?trigger=10", Auth()), 404},
        {"play at no time", get("/api/play.wav?sentence=0&at=noon", Auth()), 400},
        {"agenda from no time", get("/api/agenda?from=monday", Auth()), 400},
        {"image before a link", get("/api/image", Auth()), 404},
    };
    for (const auto& [name, request, status] : cases) {
        const httplib::Result r = request();
        ASSERT_TRUE(r) << name;
        EXPECT_EQ(r->status, status) << name;
        // Each answer is JSON, a refusal saying why; but httplib refuses an upload over the limit itself.
        if (std::string_view(name) != "upload over the limit") {
            EXPECT_EQ(r->get_header_value("Content-Type"), "application/json") << name;
        }
    }
    EXPECT_EQ(Edited(), json::array());
    EXPECT_TRUE(files(dir.path()) == inside) << "a refused request changed the project folder";
    EXPECT_TRUE(files(outside.path()) == beyond) << "a refused request wrote outside the project folder";
    EXPECT_EQ(Project()["words"][4]["error"], "the clip lies outside the project folder");

    // The page takes the token from its address and hands it to a cookie
    // that scripts cannot read and other sites cannot send (that the page
    // then runs on the cookie alone is the browser test's).
    const httplib::Result page = client->Get("/?token=" + token);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Set-Cookie"), cookie + "; Path=/; HttpOnly; SameSite=Strict");
    const httplib::Result script = client->Get("/views/words.js", {{"Cookie", cookie}});
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
}

TEST_F(StudioApi, ServesTheProjectItsSoundAndItsImageAndTakesAWord) {
    // The words, sentences and triggers as the page lists them are the browser test's.
    EXPECT_EQ(Project()["sentences"][2]["steps"][2]["kind"], "jump");
    EXPECT_EQ(Project()["options"][12]["accepted"], json({1200, 2400, 4800, 9600}));
    EXPECT_EQ(json::parse(Get("/api/check")->body)["diagnostics"], json::array());

    // An audio file dropped on the page becomes the next word.
    const httplib::Result upload = Upload(wav, "tone.wav");
    ASSERT_EQ(upload->status, 200) << upload->body;
    EXPECT_EQ(json::parse(upload->body)["key"], "W0005");
    EXPECT_EQ(json::parse(upload->body)["clip"], "tone.snx");
    EXPECT_EQ(Project()["words"][4]["format"]["rate"], 16000);  // as the clip written says

    // Sound comes as WAV (anything refused as a JSON error, see the refusals).
    for (const char* path : {"/api/word/5.wav", "/api/play.wav?sentence=0",
                             "/api/play.wav?trigger=1&seed=3&inputs=ff&rate=8000"}) {
        const httplib::Result r = Get(path);
        ASSERT_TRUE(r) << path;
        EXPECT_EQ(r->status, 200) << path;
        EXPECT_EQ(r->get_header_value("Content-Type"), "audio/wav") << path;
        EXPECT_TRUE(r->body.starts_with("RIFF")) << path;
    }
    // At nine S0002 says good morning and ends by itself; after noon it would
    // return outside any call.
    EXPECT_TRUE(json::parse(Get("/api/trace?sentence=2&at=2026-12-07%2009:00:00")->body)["endsBySelf"]);
    // The week's clock triggers: MON~FRI/8~17:0 ten times a weekday, 12:0 daily.
    EXPECT_EQ(json::parse(Get("/api/agenda?from=2026-12-07&to=2026-12-14")->body)["entries"].size(), 57u);

    // Linked at once into the image named after the project (the page asks for
    // the log as it comes, names the image and draws its sections and words).
    const json linked = json::parse(Post("/api/link")->body);
    EXPECT_TRUE(linked["success"]);
    EXPECT_EQ(linked["lines"].back(), "Process OK !!!");
    EXPECT_EQ(linked["directory"].size(), 7u);
    EXPECT_EQ(Get("/api/image")->body, test::ReadFile(dir / "demo.cfo"));
}

TEST_F(StudioApi, EditsAreCheckedAsTheyCome) {
    const json d = json::parse(Put("S0000", "W0001+M200+W0099")->body)["diagnostics"];
    ASSERT_EQ(d.size(), 1u);
    // Its place in the value covers W0099 (bytes 11 to 15); the page underlines it there.
    EXPECT_LE(d[0]["valueOffset"].get<int>(), 11);
    EXPECT_GE(d[0]["valueOffset"].get<int>() + d[0]["length"].get<int>(), 16);
    EXPECT_EQ(Get("/api/play.wav?sentence=0")->status, 422);  // nothing to play while it does not link

    EXPECT_EQ(json::parse(Put("S0000", "W0001+M200+W0002")->body)["diagnostics"], json::array());
    EXPECT_EQ(Edited(), json::array()) << "the file's own value again";
}

// Saving rewrites only the lines of the edited keys: comments and CRLF stay
// byte for byte. A save after the file changed on disk is refused and loses
// nothing; the edits then apply to the file as it is now, or a reload drops them.
TEST_F(StudioApi, SavingKeepsTheFileByteForByteAndRefusesAfterAnOutsideChange) {
    // Each edit, and what it makes of the file's lines.
    const std::tuple<const char*, json, std::string, std::string> edits[] = {
        {"S0001", "W0001+M100+W0001 ; twice", "S0001=^MOV_R1_3+W0001+M100+^DJNZ_R1_STEP1+^RET\r\n",
         "S0001=W0001+M100+W0001 ; twice\r\n"},
        {"T0011", "LUN + S0000", "T7933=EHI + S0001 + 12:0\r\n", "T7933=EHI + S0001 + 12:0\r\nT0011=LUN + S0000\r\n"},
        {"BaudRate", "4800", "BaudRate=9600\r\n", "BaudRate=4800\r\n"},
        {"STOP_Signal", "2", "StartupPlayVtg=0\r\n", "StartupPlayVtg=0\r\nSTOP_Signal=2\r\n"},
        {"T0010", nullptr, "T0010=LUN + N ; not used\r\n", ""},
    };
    for (const auto& [key, value, from, to] : edits) ASSERT_EQ(Put(key, value)->status, 200) << key;
    // Meanwhile another editor gives the file CRLF line ends and a description of its own.
    std::string outside;
    for (char c : test::ReadFile(project)) outside += c == '\n' ? std::string("\r\n") : std::string(1, c);
    outside = Replaced(outside, "Description=Demo", "Description=Mine");
    test::WriteFile(project, outside);

    const httplib::Result refused = Post("/api/save");
    EXPECT_EQ(refused->status, 409);
    EXPECT_TRUE(json::parse(refused->body)["conflict"]);
    EXPECT_EQ(test::ReadFile(project), outside);
    EXPECT_EQ(Edited(), json({"STOP_Signal", "BaudRate", "S0001", "T0010", "T0011"}));

    // Keeping the edits applies them to the file as it is now.
    ASSERT_EQ(Post("/api/reload", {{"keepEdits", true}})->status, 200);
    ASSERT_EQ(Post("/api/save")->status, 200);
    std::string expected = outside;
    for (const auto& [key, value, from, to] : edits) expected = Replaced(expected, from, to);
    EXPECT_EQ(test::ReadFile(project), expected);
    EXPECT_EQ(Edited(), json::array());

    // Reloading drops them.
    ASSERT_EQ(Put("S0000", "W0003")->status, 200);
    ASSERT_EQ(Post("/api/reload", {{"keepEdits", false}})->status, 200);
    EXPECT_EQ(Edited(), json::array());
}

}  // namespace
}  // namespace zlt::studio
