// The studio's web server: the page and the HTTP API over one project, on
// the loopback address only. Every request must pass the guard (guard.h):
// an allowed Host, the token (X-Studio-Token header, or the cookie that the
// page sets when it is opened with ?token=), and for a write the studio's
// own Origin. The API is listed in docs/studio.md.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace zlt::studio {

struct StudioOptions {
    std::string project;  // the project file
    unsigned port = 0;    // 0: any free port
    std::string token;    // empty: a fresh one
    std::size_t maxBody = 256u << 10;     // a JSON request
    std::size_t maxUpload = 32u << 20;    // an audio file for a new word
};

class Studio {
public:
    Studio();
    ~Studio();  // stops serving
    Studio(const Studio&) = delete;
    Studio& operator=(const Studio&) = delete;

    // Opens the project and serves it on 127.0.0.1 from a thread of its own.
    // False with the reason in error.
    bool Start(const StudioOptions& options, std::string& error);
    // Stops serving; requests under way are finished first.
    void Stop();

    unsigned port() const;
    const std::string& token() const;
    // http://127.0.0.1:PORT/?token=TOKEN, the address that opens the page.
    std::string Url() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zlt::studio
