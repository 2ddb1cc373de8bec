#include "studio/server.h"

#include "cli/command_line.h"
#include "player/agenda.h"
#include "player/civil_time.h"
#include "player/render.h"
#include "player/report.h"
#include "platform/files.h"
#include "studio/guard.h"
#include "studio/project_view.h"
#include "studio/session.h"
#include "studio/web_files.h"
#include "studio/word_audio.h"
#include "word/word_table.h"
#include "zlt900-snx/encode.h"
#include "zlt900-snx/output.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace zlt::studio {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using httplib::Request;
using httplib::Response;

// Plays are cut at this length unless asked for less.
constexpr unsigned kMaxPlaySeconds = 600;
constexpr unsigned kDefaultPlaySeconds = 120;
constexpr std::size_t kMaxAgendaEntries = 20000;

void Reply(Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}

void Refuse(Response& res, int status, const std::string& why) { Reply(res, status, {{"error", why}}); }

bool IsWrite(const Request& req) { return req.method != "GET" && req.method != "HEAD"; }

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void SendWav(Response& res, std::span<const std::int16_t> samples, unsigned rate) {
    std::string error;
    const std::optional<std::vector<std::uint8_t>> wav = player::WavFileBytes(samples, rate, error);
    if (!wav) return Refuse(res, 500, error);
    res.set_content(reinterpret_cast<const char*>(wav->data()), wav->size(), "audio/wav");
}

// A number parameter within max; out keeps its value when it is not given.
bool NumberParam(const Request& req, const char* name, int base, unsigned long long max, unsigned long long& out) {
    if (!req.has_param(name)) return true;
    return cli::Number(req.get_param_value(name).c_str(), base, max, out);
}

}  // namespace

struct Studio::Impl {
    StudioOptions options;
    std::string token;
    std::string cookie;  // its name: cookies are kept by host, not by port
    unsigned port = 0;
    httplib::Server server;
    std::thread thread;
    std::mutex mutex;  // the session, and every use of the library through it
    std::unique_ptr<Session> session;

    void Routes();
    httplib::Server::HandlerResponse Guard(const Request& req, Response& res);
    std::optional<json> Body(const Request& req, Response& res);
    void Page(const Request& req, Response& res);
    void Project(Response& res);
    void Check(Response& res);
    void PutEntry(const Request& req, Response& res);
    void Save(Response& res);
    void Reload(const Request& req, Response& res);
    void Link(const Request& req, Response& res);
    void Image(Response& res);
    void WordWav(const Request& req, Response& res);
    void Run(const Request& req, Response& res, bool wav);
    void Agenda(const Request& req, Response& res);
    void AddWord(const Request& req, Response& res);
    json Diagnostics() { return DiagnosticsJson(session->Check(), session->Text()); }
};

httplib::Server::HandlerResponse Studio::Impl::Guard(const Request& req, Response& res) {
    using R = httplib::Server::HandlerResponse;
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Frame-Options", "DENY");
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data: blob:; media-src 'self' blob:; "
                   "object-src 'none'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
    if (!HostAllowed(req.get_header_value("Host"), port)) {
        Refuse(res, 403, "this studio answers only to 127.0.0.1, localhost and [::1] with its port");
        return R::Handled;
    }
    // The page may be opened with the token in its address; it then sets the
    // cookie that every later request of the page carries.
    const bool opening = req.method == "GET" && req.path == "/" && req.has_param("token");
    std::string given = req.get_header_value("X-Studio-Token");
    if (opening) given = req.get_param_value("token");
    if (given.empty()) given = CookieValue(req.get_header_value("Cookie"), cookie);
    if (!SameToken(given, token)) {
        Refuse(res, 401, "open the studio with the address it printed, which holds its token");
        return R::Handled;
    }
    if (opening) res.set_header("Set-Cookie", cookie + "=" + token + "; Path=/; HttpOnly; SameSite=Strict");
    if (IsWrite(req) && !OriginAllowed(req.get_header_value("Origin"), port)) {
        Refuse(res, 403, "a change must come from the studio's own page");
        return R::Handled;
    }
    return R::Unhandled;
}

std::optional<json> Studio::Impl::Body(const Request& req, Response& res) {
    if (req.body.size() > options.maxBody) {
        Refuse(res, 413, "the request is larger than the studio takes");
        return std::nullopt;
    }
    json body = req.body.empty() ? json::object() : json::parse(req.body, nullptr, false);
    if (!body.is_object()) {
        Refuse(res, 400, "the request is no JSON object");
        return std::nullopt;
    }
    return body;
}

void Studio::Impl::Page(const Request& req, Response& res) {
    const std::string path = req.path == "/" ? "index.html" : req.path.substr(1);
    const WebFile* file = FindWebFile(path);
    if (file == nullptr) return Refuse(res, 404, "no such page");
    res.set_content(file->bytes.data(), file->bytes.size(), std::string(file->type));
}

void Studio::Impl::Project(Response& res) { Reply(res, 200, ProjectJson(*session)); }

void Studio::Impl::Check(Response& res) { Reply(res, 200, {{"diagnostics", Diagnostics()}}); }

void Studio::Impl::PutEntry(const Request& req, Response& res) {
    const std::optional<json> body = Body(req, res);
    if (!body) return;
    const std::optional<EntryName> name = EntryOf(req.matches[1].str());
    if (!name) return Refuse(res, 404, "no such entry: a W, S or T key, an option, TG_Mode or Description");
    const json value = body->value("value", json());
    if (!value.is_null() && !value.is_string()) return Refuse(res, 400, "the value is a string, or null to remove");
    std::optional<std::string> text;
    if (value.is_string()) {
        text = value.get<std::string>();
        if (text->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            return Refuse(res, 400, "a value is one line");
        // A clip must stay inside the project folder, like every path the
        // studio is given.
        if (name->section == "ZLP.Word" && !text->empty() && !InsideFolder(session->folder(), *text))
            return Refuse(res, 400, "a clip path is relative to the project folder and stays inside it");
    }
    session->Edit(*name, std::move(text));
    Reply(res, 200, {{"key", name->key}, {"diagnostics", Diagnostics()}});
}

void Studio::Impl::Save(Response& res) {
    std::string message;
    switch (session->Save(message)) {
    case Session::Saved::kWritten:
    case Session::Saved::kUnchanged: return Reply(res, 200, {{"saved", true}, {"message", message}});
    case Session::Saved::kConflict: return Reply(res, 409, {{"saved", false}, {"conflict", true}, {"error", message}});
    case Session::Saved::kFailed: return Reply(res, 500, {{"saved", false}, {"error", message}});
    }
}

void Studio::Impl::Reload(const Request& req, Response& res) {
    const std::optional<json> body = Body(req, res);
    if (!body) return;
    std::string error;
    if (!session->Reload(body->value("keepEdits", false), error)) return Refuse(res, 500, error);
    Reply(res, 200, {{"reloaded", true}});
}

void Studio::Impl::Link(const Request& req, Response& res) {
    const std::optional<json> body = Body(req, res);
    if (!body) return;
    const json image = body->value("image", json(DefaultImageName(session->fileName())));
    const std::string name = image.is_string() ? image.get<std::string>() : "";
    const std::optional<std::string> path = InsideFolder(session->folder(), name);
    if (!path) return Refuse(res, 400, "the image is named relative to the project folder and stays inside it");
    auto result = [this, path = *path](const Session::Linked& linked) {
        json out = {{"success", linked.success},
                    {"lines", linked.lines},
                    {"directory", json::array()},
                    {"unsavedEdits", session->edits().size()}};
        std::string error;
        if (linked.success)
            if (const std::optional<LoadedImage> loaded = LoadImage(path, error)) {
                out.update(ImageJson(loaded->image));
                out["image"] = fs::path(path).filename().string();
            }
        return out;
    };
    if (req.get_header_value("Accept") != "application/x-ndjson") {
        const Session::Linked linked = session->Link(name, [](const std::string&) {});
        return Reply(res, 200, result(linked));
    }
    // The log as it comes: a JSON line for each line of the link, then the result.
    res.set_chunked_content_provider("application/x-ndjson", [this, name, result](std::size_t, httplib::DataSink& sink) {
        std::lock_guard lock(mutex);
        auto send = [&](const json& j) {
            const std::string line = j.dump() + "\n";
            sink.write(line.data(), line.size());
        };
        const Session::Linked linked = session->Link(name, [&](const std::string& line) { send({{"line", line}}); });
        send(result(linked));
        sink.done();
        return true;
    });
}

void Studio::Impl::Image(Response& res) {
    const std::string& path = session->lastImage();
    const std::optional<std::string> inside = path.empty() ? std::nullopt : ProjectPathInside(session->folder(), path);
    if (!inside) return Refuse(res, 404, "no image linked yet");
    platform::MappedFile file;
    if (!file.Open(*inside) || file.Info().kind != platform::FileKind::kRegular || !file.Map(file.Info().size))
        return Refuse(res, 404, "the image is gone");
    res.set_header("Content-Disposition", "attachment; filename=\"" + fs::path(*inside).filename().string() + "\"");
    res.set_content(file.Bytes().data(), file.Bytes().size(), "application/octet-stream");
}

void Studio::Impl::WordWav(const Request& req, Response& res) {
    unsigned long long n = 0;
    if (!cli::Number(req.matches[1].str().c_str(), 10, kEntryCount - 1, n)) return Refuse(res, 404, "no such word");
    const std::optional<EntryName> name = EntryOf(WordKey(static_cast<unsigned>(n)));
    const std::unique_ptr<IniFile> ini = IniFile::Parse(session->Text());
    const std::string* clip = ini->Find(name->section, name->key);
    if (clip == nullptr || clip->empty()) return Refuse(res, 404, "no such word");
    const std::optional<std::string> path = session->ClipPath(*clip);
    if (!path) return Refuse(res, 403, "the clip lies outside the project folder");
    std::string error;
    const std::optional<ClipWord> word = ReadClipWord(*path, true, error);
    if (!word) return Refuse(res, 422, error);
    SendWav(res, word->samples, word->format.sampleRate);
}

void Studio::Impl::Run(const Request& req, Response& res, bool wav) {
    std::string error;
    const player::LinkedProject* project = session->Preview(error);
    if (project == nullptr) return Refuse(res, 422, error);
    const DecodedImage& image = project->loaded.image;
    unsigned long long trigger = kEntryCount, sentence = kEntryCount, inputs = 0, seed = 0, rate = 0,
                       steps = 100000, seconds = kDefaultPlaySeconds;
    if (!NumberParam(req, "trigger", 10, kEntryCount - 1, trigger) ||
        !NumberParam(req, "sentence", 10, kEntryCount - 1, sentence) ||
        !NumberParam(req, "inputs", 16, 0xFFFFFFFF, inputs) || !NumberParam(req, "seed", 10, ~0ull, seed) ||
        !NumberParam(req, "rate", 10, 384000, rate) || (rate != 0 && rate < 1000) ||
        !NumberParam(req, "maxSteps", 10, 10000000, steps) ||
        !NumberParam(req, "maxSeconds", 10, kMaxPlaySeconds, seconds) ||
        (trigger == kEntryCount) == (sentence == kEntryCount))
        return Refuse(res, 400, "give trigger=N or sentence=N, and the player's options as numbers");
    unsigned start = 0;
    for (const TriggerBinding& t : image.triggers)
        if (t.trigger == trigger) start = t.startUnit;
    for (const player::NamedSentence& s : project->sentences)
        if (s.number == sentence) start = s.start;
    if (start == 0) return Refuse(res, 404, trigger != kEntryCount ? "the trigger is not bound" : "no such sentence");
    player::PlayOptions options;
    options.at = player::LocalTimeNow();
    if (req.has_param("at")) {
        const std::optional<player::CivilTime> at = player::ParseCivilTime(req.get_param_value("at"));
        if (!at) return Refuse(res, 400, "at is a time \"YYYY-MM-DD HH:MM:SS\"");
        options.at = *at;
    }
    options.inputs = static_cast<std::uint32_t>(inputs);
    options.seed = seed;
    options.rate = static_cast<unsigned>(rate);
    options.maxSteps = static_cast<unsigned>(steps);
    options.maxSeconds = static_cast<unsigned>(seconds);
    const std::optional<player::Player> player = player::Player::Open(project->loaded.file, image, error);
    if (!player) return Refuse(res, 422, error);
    if (!wav) {
        const player::RunResult run = player->Execute(start, options);
        json out = json::parse(player::RunJson(run, start, player::DefaultRate(*player, run)));
        out["sentence"] = player::SentenceName(project->sentences, start);
        out["text"] = player::TraceText(run);
        return Reply(res, 200, out);
    }
    player::Rendering rendering;
    if (!player::Render(*player, start, options, rendering, error)) return Refuse(res, 500, error);
    res.set_header("X-Studio-Ending", player::EndingName(rendering.ending));
    SendWav(res, rendering.samples, rendering.rate);
}

void Studio::Impl::Agenda(const Request& req, Response& res) {
    const std::optional<player::CivilTime> from = player::ParseCivilTime(req.get_param_value("from"));
    const std::optional<player::CivilTime> to = player::ParseCivilTime(req.get_param_value("to"));
    if (!from || !to) return Refuse(res, 400, "from and to are times \"YYYY-MM-DD HH:MM\" or dates");
    std::string error;
    const player::LinkedProject* project = session->Preview(error);
    if (project == nullptr) return Refuse(res, 422, error);
    const player::Agenda agenda = player::ClockAgenda(project->loaded.image, *from, *to, kMaxAgendaEntries);
    json out = json::parse(player::AgendaJson(agenda, project->sentences));
    out["triggerMode"] = project->loaded.image.triggerMode;
    Reply(res, 200, out);
}

void Studio::Impl::AddWord(const Request& req, Response& res) {
    if (!req.is_multipart_form_data() || !req.has_file("file"))
        return Refuse(res, 400, "send the audio file as the form field \"file\"");
    const httplib::MultipartFormData upload = req.get_file_value("file");
    const std::string clip =
        req.has_file("clip") ? req.get_file_value("clip").content : fs::path(upload.filename).stem().string() + ".snx";
    const std::optional<std::string> path = InsideFolder(session->folder(), clip);
    if (upload.filename.find('/') != std::string::npos || !path || !clip.ends_with(".snx"))
        return Refuse(res, 400, "the clip is a .snx file named relative to the project folder and stays inside it");
    if (platform::InfoOf(*path).kind != platform::FileKind::kNone) return Refuse(res, 409, clip + " is there already");

    snx::EncodeOptions encode;
    unsigned long long n = 0;
    if (req.has_file("rate")) {
        if (!cli::Number(req.get_file_value("rate").content.c_str(), 10, 48000, n) || !snx::IsClipRate(n))
            return Refuse(res, 400, "the rate is one of " + snx::ClipRatesText());
        encode.rate = static_cast<unsigned>(n);
    }
    if (req.has_file("bits")) encode.bits = req.get_file_value("bits").content == "8" ? 8 : 16;
    // The encoder reads a file: the upload goes to a temporary one first,
    // with its extension, by which libsndfile tells some formats.
    std::string extension = fs::path(upload.filename).extension().string();
    if (extension.size() > 8 || !std::all_of(extension.begin() + !extension.empty(), extension.end(), ::isalnum))
        extension.clear();
    std::string temp = (fs::temp_directory_path() / ("zlt900-studio-upload-XXXXXX" + extension)).string();
    const int fd = ::mkstemps(temp.data(), static_cast<int>(extension.size()));
    if (fd < 0) return Refuse(res, 500, "cannot make a temporary file for the upload");
    ::close(fd);
    std::string error;
    std::optional<snx::EncodedClip> encoded;
    if (snx::WriteWhole(temp, Bytes(upload.content), error)) encoded = snx::EncodeFile(temp, encode, error);
    std::remove(temp.c_str());
    if (!encoded) return Refuse(res, 422, upload.filename + ": " + error);
    if (!snx::WriteWhole(*path, encoded->bytes, error)) return Refuse(res, 500, "cannot write " + clip + ": " + error);

    // The next word number after the highest one the project has.
    const std::unique_ptr<IniFile> ini = IniFile::Parse(session->Text());
    unsigned number = 1;
    for (unsigned w = kEntryCount - 1; w > 0; --w)
        if (ini->Find("ZLP.Word", WordKey(w)) != nullptr) {
            number = w + 1;
            break;
        }
    for (unsigned w = 1; number >= kEntryCount && w < kEntryCount; ++w)
        if (ini->Find("ZLP.Word", WordKey(w)) == nullptr) number = w;
    if (number >= kEntryCount) return Refuse(res, 409, "every word number is taken");
    const EntryName name = *EntryOf(WordKey(number));
    session->Edit(name, clip);
    Reply(res, 200, {{"key", name.key},
                     {"clip", clip},
                     {"rate", encoded->rate},
                     {"bits", encoded->bits},
                     {"seconds", double(encoded->samples) / encoded->rate},
                     {"diagnostics", Diagnostics()}});
}

void Studio::Impl::Routes() {
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        Refuse(res, 500, "the studio met an internal fault");
    });
    server.set_pre_routing_handler([this](const Request& req, Response& res) { return Guard(req, res); });
    server.set_payload_max_length(std::max(options.maxUpload, options.maxBody));
    // Each API handler holds the session for the whole request.
    auto locked = [this](void (Impl::*handler)(const Request&, Response&)) {
        return [this, handler](const Request& req, Response& res) {
            std::lock_guard lock(mutex);
            (this->*handler)(req, res);
        };
    };
    auto plain = [this](void (Impl::*handler)(Response&)) {
        return [this, handler](const Request&, Response& res) {
            std::lock_guard lock(mutex);
            (this->*handler)(res);
        };
    };
    server.Get("/api/project", plain(&Impl::Project));
    server.Get("/api/check", plain(&Impl::Check));
    server.Put(R"(/api/entry/([^/]+))", locked(&Impl::PutEntry));
    server.Post("/api/save", plain(&Impl::Save));
    server.Post("/api/reload", locked(&Impl::Reload));
    server.Post("/api/link", [this](const Request& req, Response& res) {
        // A streamed link takes the session when its log is sent.
        std::unique_lock lock(mutex);
        Link(req, res);
    });
    server.Get("/api/image", plain(&Impl::Image));
    server.Get(R"(/api/word/(\d+)\.wav)", locked(&Impl::WordWav));
    server.Get("/api/play.wav", [this](const Request& req, Response& res) {
        std::lock_guard lock(mutex);
        Run(req, res, true);
    });
    server.Get("/api/trace", [this](const Request& req, Response& res) {
        std::lock_guard lock(mutex);
        Run(req, res, false);
    });
    server.Get("/api/agenda", locked(&Impl::Agenda));
    server.Post("/api/words", locked(&Impl::AddWord));
    server.Get(R"(/api/.*)", [](const Request&, Response& res) { Refuse(res, 404, "no such request"); });
    server.Get(R"(/[A-Za-z0-9_./-]*)", [this](const Request& req, Response& res) { Page(req, res); });
}

Studio::Studio() : impl_(std::make_unique<Impl>()) {}

Studio::~Studio() { Stop(); }

bool Studio::Start(const StudioOptions& options, std::string& error) {
    Impl& s = *impl_;
    s.options = options;
    s.session = Session::Open(options.project, error);
    if (!s.session) return false;
    s.token = options.token.empty() ? NewToken() : options.token;
    s.Routes();
    const int port = options.port == 0 ? s.server.bind_to_any_port("127.0.0.1")
                                       : (s.server.bind_to_port("127.0.0.1", static_cast<int>(options.port))
                                              ? static_cast<int>(options.port)
                                              : -1);
    if (port <= 0) {
        error = "cannot listen on 127.0.0.1 port " + std::to_string(options.port);
        return false;
    }
    s.port = static_cast<unsigned>(port);
    s.cookie = "zlt900_studio_" + std::to_string(s.port);
    s.thread = std::thread([&s] { s.server.listen_after_bind(); });
    return true;
}

void Studio::Stop() {
    Impl& s = *impl_;
    if (!s.thread.joinable()) return;
    s.server.stop();
    s.thread.join();
}

unsigned Studio::port() const { return impl_->port; }
const std::string& Studio::token() const { return impl_->token; }
std::string Studio::Url() const { return "http://127.0.0.1:" + std::to_string(impl_->port) + "/?token=" + impl_->token; }

}  // namespace zlt::studio
