// A small HTTP/1.1 server on 127.0.0.1 for tests, run on threads of its own
// inside the test program. It serves canned replies by path and misbehaves on
// request; it records the request line of everything that arrives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// A canned answer and the ways it can misbehave.
struct HttpReply {
    enum class Stall {
        None,
        BeforeHeaders,  // reads the request, then sends nothing until the server stops
        AfterHeaders,   // sends the headers, then nothing until the server stops
    };

    HttpReply() = default;
    HttpReply(int status_, std::string body_) : status(status_), body(std::move(body_)) {}

    int status = 200;
    std::string body;
    std::vector<std::string> headers;       // further header lines, without their line ends
    std::string etag;                       // sent as ETag when set
    std::string lastModified;               // sent as Last-Modified when set
    bool ranges = false;                    // answers "Range: bytes=N-" with a 206, as If-Range allows
    std::vector<size_t> resetsAt;           // body offsets at which the connection is reset, each once
    bool chunked = false;                   // chunked transfer instead of a Content-Length
    size_t cutAfter = std::string::npos;    // closes after this many body bytes; the headers still announce all
    Stall stall = Stall::None;
    std::vector<size_t> holdsAt;            // body offsets at which sending waits for Release()
    size_t trickleBytes = 0;                // when set: pieces of this size...
    DWORD trickleDelayMs = 0;               // ...with this pause between them
    size_t zerosAfter = 0;                  // zero bytes that follow the body, made as they are sent
                                            // (a large body without its memory; plain replies only)
};

struct HttpRequestLine {
    std::string method;
    std::string target;  // path with query, as sent
    std::string range;   // the Range header's value; empty without one
    int answered = 0;    // the status the server answered with (206 for a range it served)
};

class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();  // stops
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Listens on a free port of 127.0.0.1; false when it cannot.
    bool Start();
    // Wakes every stalled or held reply, ends the connections and the threads.
    void Stop();

    unsigned short Port() const;
    // "http://127.0.0.1:<port>" followed by target.
    std::wstring Url(const std::string& target) const;
    std::string UrlA(const std::string& target) const;

    // The reply for a path (the target without its query); other paths get a 404.
    void Serve(const std::string& path, HttpReply reply);

    // From now on every connection is accepted and then neither read nor
    // answered until the server stops, each counted as a hold: a server that
    // hangs, or a TLS handshake that never completes.
    void StallEveryConnection();

    // Lets one held reply go on past one hold; a release that comes first is kept.
    void Release();
    // Waits until replies have come to count holds or stalls in all, counting
    // every one since the start; false after the time-out.
    bool WaitUntilHeld(int count, DWORD timeoutMs = 30000);

    std::vector<HttpRequestLine> Requests() const;

    // A port of 127.0.0.1 that nobody listens on: a connection there is refused.
    static unsigned short UnusedPort();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A port of 127.0.0.1 where a new connection never completes: the listener's
// queue is full and nobody takes from it, so the connection's first packet
// goes unanswered, as behind a firewall that drops it.
class StalledConnectPort {
public:
    StalledConnectPort() = default;
    ~StalledConnectPort();
    StalledConnectPort(const StalledConnectPort&) = delete;
    StalledConnectPort& operator=(const StalledConnectPort&) = delete;

    bool Start();
    unsigned short Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by target, or "https://..." when bTls.
    std::string UrlA(const std::string& target, bool bTls = false) const;

private:
    uintptr_t m_listener = ~uintptr_t(0);
    uintptr_t m_filler = ~uintptr_t(0);
    unsigned short m_port = 0;
    bool m_bWsaStarted = false;
};

} // namespace testing_support
