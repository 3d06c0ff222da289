#include "protocol/buffer.h"

#include <algorithm>
#include <cstring>

#include "protocol/handoff_trace.h"

CBuffer::CBuffer() : m_pData(new BYTE[256]()) {}

CBuffer::~CBuffer() = default;

void CBuffer::CopyIn(const BYTE* data, int n, std::uint64_t tag) {
    const int count = std::clamp(n, 0, m_nSize);
    {
        std::lock_guard lock(m_lock);
        if (count > 0) std::memcpy(m_pData.get(), data, static_cast<size_t>(count));
        m_nLength = count;
        m_nTag = tag;
    }
    QUARVEL_HANDOFF_MARK(this, HandoffEvent::Filled);
    m_semFilled.Release();
    QUARVEL_HANDOFF_MARK(this, HandoffEvent::Woken);
}

void CBuffer::Put(const BYTE* data, int n) {
    m_semFree.Wait(INFINITE);
    CopyIn(data, n, 0);
}

bool CBuffer::PutUnless(const BYTE* data, int n, const std::atomic<bool>& stop, std::uint64_t tag) {
    if (!m_semFree.WaitUnless(stop)) return false;
    CopyIn(data, n, tag);
    return true;
}

bool CBuffer::WaitFilled(DWORD timeoutMs) {
    const bool filled = m_semFilled.Wait(timeoutMs);
    if (filled) QUARVEL_HANDOFF_MARK(this, HandoffEvent::Taken);
    return filled;
}

bool CBuffer::WaitFilledUnless(const std::atomic<bool>& stop, DWORD timeoutMs) {
    const bool filled = m_semFilled.WaitUnless(stop, timeoutMs);
    if (filled) QUARVEL_HANDOFF_MARK(this, HandoffEvent::Taken);
    return filled;
}

void CBuffer::MarkEmpty() {
    m_nLength = 0;
    m_semFree.Release();
}

void CBuffer::ForcePut(const BYTE* data, int n) {
    MarkEmpty();
    Put(data, n);
}

void CBuffer::WakeWaiters() {
    m_semFree.WakeWaiters();
    m_semFilled.WakeWaiters();
}
