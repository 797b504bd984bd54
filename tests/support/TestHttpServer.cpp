#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/TestHttpServer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace testing_support {

namespace {

const char* ReasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

bool SendAll(SOCKET s, const char* p, size_t n)
{
    while (n > 0) {
        const int sent = ::send(s, p, static_cast<int>(std::min<size_t>(n, 1 << 20)), 0);
        if (sent <= 0)
            return false;
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool SendText(SOCKET s, const std::string& text)
{
    return SendAll(s, text.data(), text.size());
}

// The request head up to its blank line; empty when the peer went away first.
std::string ReadHead(SOCKET s)
{
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const int n = ::recv(s, buf, sizeof(buf), 0);
        if (n <= 0)
            return std::string();
        head.append(buf, static_cast<size_t>(n));
    }
    return head;
}

// A header's value (names compared without regard to case); empty when it is missing.
std::string HeaderValue(const std::string& head, const std::string& name)
{
    std::string lower(head);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string key = "\r\n" + name + ":";
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = lower.find(key);
    if (at == std::string::npos)
        return std::string();
    size_t start = at + key.size();
    while (start < head.size() && head[start] == ' ')
        ++start;
    return head.substr(start, head.find("\r\n", start) - start);
}

HttpRequestLine ParseRequestLine(const std::string& head)
{
    const std::string line = head.substr(0, head.find("\r\n"));
    const size_t sp1 = line.find(' ');
    const size_t sp2 = line.find(' ', sp1 == std::string::npos ? sp1 : sp1 + 1);
    if (sp1 == std::string::npos)
        return {line, std::string(), std::string()};
    return {line.substr(0, sp1), line.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1),
            HeaderValue(head, "Range")};
}

// The reply to a request for a range of it: a 206 with the rest from the
// range's start, when the reply takes ranges and If-Range names its validator.
HttpReply AnswerRange(const HttpReply& reply, const std::string& head, size_t& offset)
{
    offset = 0;
    const std::string range = HeaderValue(head, "Range");
    const std::string ifRange = HeaderValue(head, "If-Range");
    if (!reply.ranges || reply.status != 200 || range.compare(0, 6, "bytes=") != 0 || range.back() != '-')
        return reply;
    if (!ifRange.empty() && ifRange != reply.etag && ifRange != reply.lastModified)
        return reply;
    const size_t start = std::strtoull(range.c_str() + 6, nullptr, 10);
    const size_t whole = reply.body.size() + reply.zerosAfter;
    if (start >= whole)
        return reply;
    HttpReply part = reply;
    part.status = 206;
    part.body = reply.body.substr(std::min(start, reply.body.size()));
    part.zerosAfter = whole - start - part.body.size();
    part.headers.push_back("Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(whole - 1) + "/" +
                           std::to_string(whole));
    offset = start;
    return part;
}

std::string HeadersOf(const HttpReply& reply)
{
    char text[256];
    std::snprintf(text, sizeof(text), "HTTP/1.1 %d %s\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n",
                  reply.status, ReasonOf(reply.status));
    std::string headers = text;
    if (!reply.etag.empty())
        headers += "ETag: " + reply.etag + "\r\n";
    if (!reply.lastModified.empty())
        headers += "Last-Modified: " + reply.lastModified + "\r\n";
    if (reply.ranges)
        headers += "Accept-Ranges: bytes\r\n";
    for (const std::string& line : reply.headers)
        headers += line + "\r\n";
    if (reply.chunked) {
        headers += "Transfer-Encoding: chunked\r\n";
    } else {
        std::snprintf(text, sizeof(text), "Content-Length: %zu\r\n", reply.body.size() + reply.zerosAfter);
        headers += text;
    }
    return headers + "\r\n";
}

} // namespace

struct TestHttpServer::Impl {
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    bool stallAll = false;
    int releases = 0;
    int holdsReached = 0;
    std::map<std::string, HttpReply> replies;
    std::map<std::string, size_t> resetsDone;
    std::vector<HttpRequestLine> requests;
    std::set<SOCKET> clients;

    SOCKET listener = INVALID_SOCKET;
    unsigned short port = 0;
    std::thread acceptor;
    std::vector<std::thread> connections;
    bool wsaStarted = false;

    void AcceptLoop();
    void Serve(SOCKET s);
    bool SendBody(SOCKET s, const HttpReply& reply);
    // A chunked piece announces announcedTo - from bytes (more than it sends when cut).
    bool SendPiece(SOCKET s, const HttpReply& reply, size_t from, size_t to, size_t announcedTo);

    // Waits for a release, or (forRelease false) for the end; false once stopping.
    bool WaitAtHold(bool forRelease);
    // Pauses, or less when the server stops; false once stopping.
    bool Pause(DWORD ms);
};

void TestHttpServer::Impl::AcceptLoop()
{
    for (;;) {
        const SOCKET s = ::accept(listener, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            return;  // the listener was closed: the server stops
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) {
            ::closesocket(s);
            return;
        }
        clients.insert(s);
        connections.emplace_back([this, s] { Serve(s); });
    }
}

void TestHttpServer::Impl::Serve(SOCKET s)
{
    bool silent = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        silent = stallAll;
    }
    if (silent) {
        WaitAtHold(false);
        std::lock_guard<std::mutex> lock(mutex);
        clients.erase(s);
        ::closesocket(s);
        return;
    }
    const std::string head = ReadHead(s);
    bool reset = false;
    if (!head.empty()) {
        const HttpRequestLine line = ParseRequestLine(head);
        HttpReply reply;
        const std::string path = line.target.substr(0, line.target.find('?'));
        size_t index = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            index = requests.size();
            requests.push_back(line);
            const auto it = replies.find(path);
            if (it != replies.end())
                reply = it->second;
            else
                reply = HttpReply{404, "not found"};
        }
        size_t offset = 0;
        reply = AnswerRange(reply, head, offset);
        {
            std::lock_guard<std::mutex> lock(mutex);
            requests[index].answered = reply.status;
        }
        // The next reset of this path that falls in what this answer sends.
        {
            std::lock_guard<std::mutex> lock(mutex);
            size_t& done = resetsDone[path];
            if (done < reply.resetsAt.size() && reply.resetsAt[done] > offset &&
                reply.resetsAt[done] - offset < reply.body.size()) {
                reply.cutAfter = reply.resetsAt[done] - offset;
                reset = true;
                ++done;
            }
        }
        const bool sentHeaders = reply.stall != HttpReply::Stall::BeforeHeaders && SendText(s, HeadersOf(reply));
        if (reply.stall != HttpReply::Stall::None)
            WaitAtHold(false);
        else if (sentHeaders)
            SendBody(s, reply);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        clients.erase(s);
    }
    if (reset) {
        // A reset, as a dropped link gives: no orderly end of the stream,
        // once the peer has had the time to take what was sent.
        ::Sleep(200);
        linger hard = {1, 0};
        ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof(hard));
    } else {
        ::shutdown(s, SD_SEND);
    }
    ::closesocket(s);
}

bool TestHttpServer::Impl::SendBody(SOCKET s, const HttpReply& reply)
{
    const size_t end = std::min(reply.cutAfter, reply.body.size());
    std::vector<size_t> holds = reply.holdsAt;
    std::sort(holds.begin(), holds.end());
    auto hold = holds.begin();
    size_t pos = 0;
    for (;;) {
        for (; hold != holds.end() && *hold <= pos; ++hold) {
            if (*hold == pos && !WaitAtHold(true))
                return false;
        }
        if (pos >= end)
            break;
        size_t next = end;
        if (hold != holds.end())
            next = std::min(next, *hold);
        if (reply.trickleBytes)
            next = std::min(next, pos + reply.trickleBytes);
        // The piece the cut falls in announces what it would have held.
        const size_t whole = reply.trickleBytes ? std::min(reply.body.size(), pos + reply.trickleBytes) : reply.body.size();
        if (!SendPiece(s, reply, pos, next, next == end ? whole : next))
            return false;
        pos = next;
        if (reply.trickleBytes && pos < end && !Pause(reply.trickleDelayMs))
            return false;
    }
    // A cut body ends without the last chunk, as a dropped connection would.
    if (reply.chunked && end == reply.body.size())
        return SendText(s, "0\r\n\r\n");
    const std::vector<char> zeros(64 * 1024);
    for (size_t left = end == reply.body.size() ? reply.zerosAfter : 0; left > 0;) {
        const size_t n = std::min(left, zeros.size());
        if (!SendAll(s, zeros.data(), n))
            return false;
        left -= n;
    }
    return true;
}

bool TestHttpServer::Impl::SendPiece(SOCKET s, const HttpReply& reply, size_t from, size_t to, size_t announcedTo)
{
    if (!reply.chunked)
        return SendAll(s, reply.body.data() + from, to - from);
    char size[32];
    std::snprintf(size, sizeof(size), "%zx\r\n", announcedTo - from);
    if (!SendText(s, size) || !SendAll(s, reply.body.data() + from, to - from))
        return false;
    return to < announcedTo || SendText(s, "\r\n");
}

bool TestHttpServer::Impl::WaitAtHold(bool forRelease)
{
    std::unique_lock<std::mutex> lock(mutex);
    ++holdsReached;
    changed.notify_all();
    changed.wait(lock, [&] { return stopping || (forRelease && releases > 0); });
    if (stopping)
        return false;
    --releases;
    return true;
}

bool TestHttpServer::Impl::Pause(DWORD ms)
{
    std::unique_lock<std::mutex> lock(mutex);
    return !changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
}

TestHttpServer::TestHttpServer() : m_impl(std::make_unique<Impl>()) {}

TestHttpServer::~TestHttpServer()
{
    Stop();
}

bool TestHttpServer::Start()
{
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return false;
    m_impl->wsaStarted = true;
    m_impl->stopping = false;
    m_impl->listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof(addr);
    if (m_impl->listener == INVALID_SOCKET
        || ::bind(m_impl->listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0
        || ::listen(m_impl->listener, SOMAXCONN) != 0
        || ::getsockname(m_impl->listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        Stop();
        return false;
    }
    m_impl->port = ntohs(addr.sin_port);
    m_impl->acceptor = std::thread([this] { m_impl->AcceptLoop(); });
    return true;
}

void TestHttpServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        m_impl->stopping = true;
        for (SOCKET s : m_impl->clients)
            ::shutdown(s, SD_BOTH);
    }
    m_impl->changed.notify_all();
    if (m_impl->listener != INVALID_SOCKET) {
        ::closesocket(m_impl->listener);
        m_impl->listener = INVALID_SOCKET;
    }
    if (m_impl->acceptor.joinable())
        m_impl->acceptor.join();
    for (std::thread& t : m_impl->connections)
        t.join();
    m_impl->connections.clear();
    if (m_impl->wsaStarted) {
        ::WSACleanup();
        m_impl->wsaStarted = false;
    }
}

unsigned short TestHttpServer::Port() const
{
    return m_impl->port;
}

std::wstring TestHttpServer::Url(const std::string& target) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_impl->port) + std::wstring(target.begin(), target.end());
}

std::string TestHttpServer::UrlA(const std::string& target) const
{
    return "http://127.0.0.1:" + std::to_string(m_impl->port) + target;
}

void TestHttpServer::Serve(const std::string& path, HttpReply reply)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->replies[path] = std::move(reply);
    m_impl->resetsDone[path] = 0;
}

void TestHttpServer::StallEveryConnection()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->stallAll = true;
}

void TestHttpServer::Release()
{
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        ++m_impl->releases;
    }
    m_impl->changed.notify_all();
}

bool TestHttpServer::WaitUntilHeld(int count, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return m_impl->holdsReached >= count; });
}

std::vector<HttpRequestLine> TestHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->requests;
}

unsigned short TestHttpServer::UnusedPort()
{
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 0;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof(addr);
    unsigned short port = 0;
    if (s != INVALID_SOCKET && ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (s != INVALID_SOCKET)
        ::closesocket(s);
    ::WSACleanup();
    return port;
}

StalledConnectPort::~StalledConnectPort()
{
    for (uintptr_t s : {m_filler, m_listener}) {
        if (s != static_cast<uintptr_t>(INVALID_SOCKET))
            ::closesocket(static_cast<SOCKET>(s));
    }
    if (m_bWsaStarted)
        ::WSACleanup();
}

bool StalledConnectPort::Start()
{
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return false;
    m_bWsaStarted = true;
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    m_listener = static_cast<uintptr_t>(listener);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof(addr);
    // A queue of one, taken by a connection of our own that nobody accepts.
    if (listener == INVALID_SOCKET || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::listen(listener, 0) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return false;
    m_port = ntohs(addr.sin_port);
    const SOCKET filler = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    m_filler = static_cast<uintptr_t>(filler);
    return filler != INVALID_SOCKET && ::connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
}

std::string StalledConnectPort::UrlA(const std::string& target, bool bTls) const
{
    return std::string(bTls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) + target;
}

} // namespace testing_support
