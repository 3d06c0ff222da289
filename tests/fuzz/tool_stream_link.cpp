#include "tool_stream_link.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
// T of the read time-out n x 1 ms + T; the receiver simply reads again after it.
constexpr std::uint32_t kReadTimeoutMs = 50;
// How long Write waits for the receiver's next Read while it takes the answer. It is reached only when the
// receiver is held up outside Read (with a frame it cannot hand on while the engine's received slot is
// still full, or not scheduled in time on a loaded machine: the engine then finds no reply, a case it
// handles anyway). kHandOverLimit caps the whole wait.
constexpr auto kHandOverBound = std::chrono::microseconds(50);
constexpr auto kHandOverLimit = std::chrono::milliseconds(100);
}  // namespace

ToolStreamLink::ToolStreamLink(std::uint32_t maxChunk) : m_nMaxChunk(maxChunk) { m_bOpen = true; }

void ToolStreamLink::SetNextAnswer(std::vector<BYTE> answer) {
    std::lock_guard lock(m_mutex);
    m_nextAnswer = std::move(answer);
}

std::vector<BYTE> ToolStreamLink::Released() const {
    std::lock_guard lock(m_mutex);
    return m_released;
}

std::vector<BYTE> ToolStreamLink::Written() const {
    std::lock_guard lock(m_mutex);
    return m_written;
}

bool ToolStreamLink::HandOverLate() const {
    std::lock_guard lock(m_mutex);
    return m_bHandOverLate;
}

bool ToolStreamLink::WaitReaderIdle(std::chrono::microseconds stall, const BYTE** place,
                                    std::uint32_t* wanted) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        const std::uint64_t reads = m_nReads;
        if (m_cv.wait_for(lock, stall, [&] { return ReaderIdle(); })) break;
        if (m_nReads == reads) return false;
    }
    *place = m_pWaitPlace;
    *wanted = m_nWaitWanted;
    return true;
}

bool ToolStreamLink::ExpireRead() {
    {
        std::lock_guard lock(m_mutex);
        if (!ReaderIdle()) return false;
        m_bExpire = true;
        m_bReaderWaiting = false;  // idle again only in the receiver's next Read
    }
    m_cv.notify_all();
    return true;
}

void ToolStreamLink::Rewind(std::uint32_t maxChunk) {
    std::lock_guard lock(m_mutex);
    m_nMaxChunk = maxChunk;
    m_nextAnswer.clear();
    m_released.clear();
    m_nReadPos = 0;
    m_written.clear();
    m_bHandOverLate = false;
}

BOOL ToolStreamLink::SetMode(const char*) { return TRUE; }
BOOL ToolStreamLink::Close() { return TRUE; }

int ToolStreamLink::CancelRead() {
    {
        std::lock_guard lock(m_mutex);
        m_bCancelPending = true;
    }
    m_cv.notify_all();
    return TRUE;
}

int ToolStreamLink::Write(std::uint32_t n, const BYTE* data, std::uint32_t*) {
    std::unique_lock lock(m_mutex);
    m_written.insert(m_written.end(), data, data + n);
    const bool released = !m_nextAnswer.empty();
    m_released.insert(m_released.end(), m_nextAnswer.begin(), m_nextAnswer.end());
    m_nextAnswer.clear();
    if (released) m_bReaderWaiting = false;
    m_cv.notify_all();
    // The bound counts from the receiver's latest Read: one still taking the answer in small chunks is
    // waited for, one held up elsewhere is not.
    const auto giveUp = std::chrono::steady_clock::now() + kHandOverLimit;
    for (;;) {
        const std::uint64_t reads = m_nReads;
        if (m_cv.wait_for(lock, kHandOverBound, [&] { return m_bCancelPending || ReaderIdle(); })) break;
        if (m_nReads == reads || std::chrono::steady_clock::now() >= giveUp) {
            m_bHandOverLate = true;
            break;
        }
    }
    return TRUE;
}

int ToolStreamLink::Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) {
    *received = 0;
    std::unique_lock lock(m_mutex);
    ++m_nReads;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(n + kReadTimeoutMs);
    if (m_nReadPos == m_released.size() && !m_bCancelPending) {
        m_bReaderWaiting = true;
        m_pWaitPlace = buffer;
        m_nWaitWanted = n;
        m_cv.notify_all();
        m_cv.wait_until(lock, deadline,
                        [&] { return m_bCancelPending || m_bExpire || m_nReadPos < m_released.size(); });
        m_bReaderWaiting = false;
    }
    if (m_bCancelPending) {
        m_bCancelPending = false;
        return 0;
    }
    if (m_bExpire) {
        m_bExpire = false;
        return TRUE;
    }
    std::size_t k = std::min<std::size_t>(n, m_released.size() - m_nReadPos);
    if (m_nMaxChunk > 0) k = std::min<std::size_t>(k, m_nMaxChunk);
    if (k > 0) std::memcpy(buffer, m_released.data() + m_nReadPos, k);
    m_nReadPos += k;
    *received = static_cast<std::uint32_t>(k);
    return TRUE;
}
