#include "protocol/hs_listener.h"

#include <algorithm>
#include <new>

#include "platform/threads/placement.h"
#include "platform/threads/thread.h"
#include "protocol/hs_handler.h"
#include "protocol/hs_protocol.h"
#include "protocol/interface.h"
#include "protocol/protocol_codes.h"

namespace {
constexpr DWORD kFirstBackoffMs = 2;
constexpr DWORD kMaxBackoffMs = 100;
}  // namespace

CHSListener::CHSListener(CHSProtocol* protocol)
    : m_pBuf(new (std::nothrow) BYTE[256]()), m_pProtocol(protocol), m_bReady(m_pBuf != nullptr) {}

CHSListener::~CHSListener() {
    if (m_bRunning.load() && !m_bStop.load()) {
        // The stop flag goes first, so that a thread woken from Read (or from its back-off, or from a
        // Put on a slot nobody empties any more) sees it at once instead of starting another wait.
        m_bStop.store(true);
        m_pProtocol->m_pInterface->CancelRead();
        m_backoff.Interrupt();
        m_pProtocol->m_bufReceived.WakeWaiters();
        for (CHSHandler* handler : m_pProtocol->m_pHandlers) {
            if (handler != nullptr) handler->WakeWaiters();
        }
        m_bFinished.Wait(INFINITE);
        m_bRunning.store(false);
    }
}

bool CHSListener::Start() {
    if (!m_bReady || !AfxBeginThread(&CHSListener::ReceiveThread, this)) return false;
    m_bRunning.store(true);
    return true;
}

UINT CHSListener::ReceiveThread(void* param) {
    if (param == nullptr) return static_cast<UINT>(-1);
    auto* self = static_cast<CHSListener*>(param);
    // Beside the engine thread it hands its frames to.
    if (CThreadGroupPlacement* placement = self->m_pProtocol->m_placement.get()) placement->Join();
    self->m_bRunning.store(true);
    self->Run();
    self->m_bFinished.Set();  // last act: the destructor may free the listener right after
    return 0;
}

void CHSListener::Run() {
    BYTE* const block = m_pBuf.get();
    while (!m_bStop.load()) {
        m_bAbort.store(false);

        if (!ReadBytes(1, block, m_nBufSize, false) || block[0] != SYNC_BYTE) continue;
        // The sync byte's number in the received stream: the engine takes only a frame that began after
        // the bytes that had arrived when it wrote its request as the reply.
        const std::uint64_t syncByte = m_pProtocol->m_nBytesReceived.load() - 1;
        // An abort raised while the line was idle refers to no frame; honouring it now would drop the
        // sync byte of the next reply and lose that exchange too.
        m_bAbort.store(false);

        if (!ReadBytes(2, block, m_nBufSize)) continue;  // type and length, over the sync byte
        const BYTE type = block[0];
        const int length = block[1];
        // A length beyond the format is not a frame: resume the hunt right after the length byte.
        if (length > MAX_PAYLOAD) continue;
        const bool notification = type == NOTIFICATION_TYPE;
        if (!notification && !m_pProtocol->IsReply(type)) continue;

        if (!ReadBytes(length + 1, block + 2, m_nBufSize - 2)) continue;  // payload and checksum
        if (notification) {
            DeliverNotification(length);
        } else {
            m_pProtocol->m_bufReceived.PutUnless(block, length + 3, m_bStop, syncByte);
        }
    }
}

void CHSListener::DeliverNotification(int length) {
    // A notification without payload has no channel byte; it can only be dropped.
    if (length == 0) return;
    const int channel = m_pBuf[2] & CHANNEL_MASK;
    for (CHSHandler* handler : m_pProtocol->m_pHandlers) {
        if (handler != nullptr && handler->m_nChannel == channel) {
            handler->PutUnless(m_pBuf.get(), length + 3, m_bStop);
            return;
        }
    }
}

bool CHSListener::ReadBytes(int w, BYTE* dest, int r, bool abortable) {
    const std::uint32_t wanted = static_cast<std::uint32_t>(std::min(w, r));
    if (abortable && m_bAbort.load()) return false;
    std::uint32_t remaining = wanted;
    while (!m_bStop.load() && remaining > 0) {
        std::uint32_t received = 0;
        const int result = m_pProtocol->m_pInterface->Read(remaining, dest + (wanted - remaining), &received);
        // A Read that ends with an error code and nothing received is a failing device; everything else
        // (bytes, a read time-out, a cancel wake-up) is normal progress.
        if (received == 0 && result != 0 && result != TRUE) {
            BackOffAfterFailedRead();
        } else {
            m_nBackoffMs = 0;
        }
        if (received > 0) m_pProtocol->m_nBytesReceived.fetch_add(received);
        remaining -= std::min(received, remaining);
        if (abortable && m_bAbort.load()) return false;
    }
    return remaining == 0 && !m_bStop.load();
}

void CHSListener::BackOffAfterFailedRead() {
    m_nBackoffMs = m_nBackoffMs == 0 ? kFirstBackoffMs : std::min(m_nBackoffMs * 2, kMaxBackoffMs);
    m_backoff.SleepFor(m_nBackoffMs, m_bStop);
}
