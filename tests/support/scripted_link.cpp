#include "support/scripted_link.h"

#include <algorithm>

Bytes MakeBody(BYTE type, const Bytes& payload) {
    Bytes body{type, static_cast<BYTE>(payload.size())};
    body.insert(body.end(), payload.begin(), payload.end());
    BYTE sum = 0;
    for (BYTE b : body) sum ^= b;
    body.push_back(sum);
    return body;
}

Bytes MakeFrame(BYTE type, const Bytes& payload) {
    Bytes frame{0x55};
    const Bytes body = MakeBody(type, payload);
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

ScriptedLink::ScriptedLink() { m_bOpen = true; }
ScriptedLink::~ScriptedLink() = default;

void ScriptedLink::SetReply(BYTE code, Bytes frameBytes) {
    std::lock_guard lock(m_mutex);
    m_replies[code] = std::move(frameBytes);
}

void ScriptedLink::ClearReplies() {
    std::lock_guard lock(m_mutex);
    m_replies.clear();
}

void ScriptedLink::SetResponder(Responder responder) {
    std::lock_guard lock(m_mutex);
    m_responder = std::move(responder);
}

void ScriptedLink::SetSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

void ScriptedLink::Feed(const Bytes& bytes) {
    {
        std::lock_guard lock(m_mutex);
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    }
    m_cv.notify_all();
}

void ScriptedLink::SetMaxChunk(std::uint32_t maxBytesPerRead) {
    std::lock_guard lock(m_mutex);
    m_maxChunk = maxBytesPerRead;
}

void ScriptedLink::SetReadTimeout(DWORD totalConstantMs) {
    std::lock_guard lock(m_mutex);
    m_readTimeoutMs = totalConstantMs;
}

void ScriptedLink::SetFailReads(int errorCode) {
    {
        std::lock_guard lock(m_mutex);
        m_failCode = errorCode;
    }
    m_cv.notify_all();
}

std::vector<WriteRecord> ScriptedLink::Writes() const {
    std::lock_guard lock(m_mutex);
    return m_writes;
}

Bytes ScriptedLink::WrittenBytes() const {
    std::lock_guard lock(m_mutex);
    Bytes all;
    for (const auto& w : m_writes) all.insert(all.end(), w.bytes.begin(), w.bytes.end());
    return all;
}

std::vector<BYTE> ScriptedLink::RequestCodes() const {
    std::lock_guard lock(m_mutex);
    return m_requestCodes;
}

int ScriptedLink::CountRequests(BYTE code) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count(m_requestCodes.begin(), m_requestCodes.end(), code));
}

std::uint64_t ScriptedLink::ReadCalls() const {
    std::lock_guard lock(m_mutex);
    return m_readCalls;
}

int ScriptedLink::CancelCalls() const {
    std::lock_guard lock(m_mutex);
    return m_cancelCalls;
}

std::size_t ScriptedLink::PendingInput() const {
    std::lock_guard lock(m_mutex);
    return m_input.size();
}

template <class Pred>
bool ScriptedLink::WaitFor(DWORD timeoutMs, Pred pred) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}

bool ScriptedLink::WaitForRequests(BYTE code, int count, DWORD timeoutMs) const {
    return WaitFor(timeoutMs,
                   [&] { return std::count(m_requestCodes.begin(), m_requestCodes.end(), code) >= count; });
}

bool ScriptedLink::WaitForWriteCount(std::size_t count, DWORD timeoutMs) const {
    return WaitFor(timeoutMs, [&] { return m_writes.size() >= count; });
}

bool ScriptedLink::WaitForPendingRead(std::uint32_t n, DWORD timeoutMs) const {
    return WaitFor(timeoutMs, [&] { return m_pendingReadSize == n && m_input.empty(); });
}

bool ScriptedLink::WaitUntilDrained(DWORD timeoutMs) const {
    return WaitFor(timeoutMs, [&] { return m_input.empty(); });
}

BOOL ScriptedLink::SetMode(const char*) { return m_bOpen ? TRUE : FALSE; }

BOOL ScriptedLink::Close() {
    m_bOpen = false;
    return TRUE;
}

int ScriptedLink::CancelRead() {
    {
        std::lock_guard lock(m_mutex);
        m_cancelPending = true;
        ++m_cancelCalls;
    }
    m_cv.notify_all();
    return 1;
}

Bytes ScriptedLink::Answer(BYTE code) {
    Responder responder;
    {
        std::lock_guard lock(m_mutex);
        if (m_silent) return {};
        if (!m_responder) {
            auto it = m_replies.find(code);
            return it == m_replies.end() ? Bytes{} : it->second;
        }
        responder = m_responder;
    }
    return responder(code);  // outside the lock: a responder may call Feed or the setters
}

void ScriptedLink::ParseWrittenFrames(std::vector<BYTE>& codes) {
    for (;;) {
        auto sync = std::find(m_unparsed.begin(), m_unparsed.end(), BYTE{0x55});
        m_unparsed.erase(m_unparsed.begin(), sync);
        if (m_unparsed.size() < 3) return;
        const std::size_t frameLength = m_unparsed[2] + 4u;
        if (m_unparsed.size() < frameLength) return;
        codes.push_back(m_unparsed[1]);
        m_unparsed.erase(m_unparsed.begin(), m_unparsed.begin() + static_cast<long>(frameLength));
    }
}

int ScriptedLink::Write(std::uint32_t n, const BYTE* data, std::uint32_t*) {
    std::vector<BYTE> codes;
    {
        std::lock_guard lock(m_mutex);
        m_writes.push_back({Clock::now(), Bytes(data, data + n)});
        m_unparsed.insert(m_unparsed.end(), data, data + n);
        ParseWrittenFrames(codes);
        m_requestCodes.insert(m_requestCodes.end(), codes.begin(), codes.end());
    }
    m_cv.notify_all();
    for (BYTE code : codes) {
        const Bytes reply = Answer(code);
        if (!reply.empty()) Feed(reply);
    }
    return TRUE;
}

int ScriptedLink::Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) {
    *received = 0;
    std::unique_lock lock(m_mutex);
    ++m_readCalls;
    if (m_failCode != 0) return m_failCode;
    if (m_cancelPending) {
        m_cancelPending = false;
        return 0;
    }
    const std::uint32_t wanted = m_maxChunk == 0 ? n : std::min(n, m_maxChunk);
    const auto deadline = Clock::now() + std::chrono::milliseconds(n + m_readTimeoutMs);
    m_pendingReadSize = n;
    m_cv.notify_all();
    const bool ready = m_cv.wait_until(
        lock, deadline, [&] { return m_cancelPending || m_failCode != 0 || m_input.size() >= wanted; });
    m_pendingReadSize = 0;
    if (m_cancelPending) {
        m_cancelPending = false;
        m_cv.notify_all();
        return 0;
    }
    if (ready && m_failCode != 0) return m_failCode;
    // Ready, or the time-out passed: hand over what is there, as a serial read does.
    const std::uint32_t count = std::min<std::uint32_t>(wanted, static_cast<std::uint32_t>(m_input.size()));
    std::copy_n(m_input.begin(), count, buffer);
    m_input.erase(m_input.begin(), m_input.begin() + count);
    *received = count;
    m_cv.notify_all();
    return TRUE;
}
