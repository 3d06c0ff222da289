#include "protocol/hs_protocol.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "platform/threads/main_window.h"
#include "platform/threads/placement.h"
#include "platform/threads/thread.h"
#include "protocol/hs_listener.h"
#include "protocol/interface.h"

namespace {
BYTE Xor(const BYTE* data, int n) {
    BYTE sum = 0;
    for (int i = 0; i < n; ++i) sum ^= data[i];
    return sum;
}
}  // namespace

CHSProtocol::CHSProtocol(CInterface* link, DWORD timeoutMs) : CHSProtocol(link, timeoutMs, DeferStart{}) {
    StartWorkers();
}

CHSProtocol::CHSProtocol(CInterface* link, DWORD timeoutMs, DeferStart)
    : m_pListener(new (std::nothrow) CHSListener(this)),
      m_pInterface(link),
      m_nTimeout(timeoutMs),
      m_pTransmit(new (std::nothrow) BYTE[256]()) {}

CHSProtocol::~CHSProtocol() { Shutdown(); }

bool CHSProtocol::IsCommand(int code) const {
    const BYTE c = static_cast<BYTE>(code);
    return (c >= 'A' && c <= 'H') || (c >= 'M' && c <= 'T');
}

bool CHSProtocol::IsReply(int type) const {
    const BYTE t = static_cast<BYTE>(type);
    return t == STATUS_OK || (t >= STATUS_FAILURE_FIRST && t <= STATUS_FAILURE_LAST);
}

void CHSProtocol::StartWorkers() {
    if (m_bStartAttempted) return;
    m_bStartAttempted = true;
    bool started = m_pListener != nullptr && m_pListener->m_bReady && m_pTransmit != nullptr;
    // The three workers hand every exchange on to each other: they start on the processor the starting
    // thread runs on now (unless placement is off); the starting thread itself is left where it is.
    m_placement.reset(new (std::nothrow) CThreadGroupPlacement());  // none: the workers run anywhere
    if (started) {
        // All three starts are attempted; whichever did start is stopped again below.
        const bool receiver = m_pListener->Start();
        const bool engine = AfxBeginThread(&CHSProtocol::EngineThread, this);
        if (engine) m_bEngineRunning.store(true);
        const bool keepAlive = AfxBeginThread(&CHSProtocol::KeepAliveThread, this);
        if (keepAlive) m_bKeepAliveRunning.store(true);
        started = receiver && engine && keepAlive;
    }
    if (!started) Shutdown();
    m_bStarted.store(started);
}

void CHSProtocol::Shutdown() {
    // Keep-alive first: it may be inside an exchange that needs the other two. Its pause and its
    // exchange both end at once on the stop flag, so this never waits out a reply time-out.
    if (m_bKeepAliveRunning.load() && !m_bKeepAliveStop.load()) {
        m_bKeepAliveStop.store(true);
        m_evKeepAlive.Set();
        m_keepAliveSleep.Interrupt();
        m_semRequest.WakeWaiters();
        m_bufRequest.WakeWaiters();
        m_bufReply.WakeWaiters();
        m_bKeepAliveFinished.Wait(INFINITE);
        m_bKeepAliveRunning.store(false);
    }

    CHSListener* listener = nullptr;
    {
        std::lock_guard lock(m_csListener);
        std::swap(listener, m_pListener);
    }
    delete listener;

    // Every wait of the engine thread is a cancellable one, so waking the three slots is enough; nothing
    // is written into a slot whose block the engine thread may be reading at that moment.
    if (m_bEngineRunning.load() && !m_bEngineStop.load()) {
        m_bEngineStop.store(true);
        m_bufRequest.WakeWaiters();
        m_bufReceived.WakeWaiters();
        m_bufReply.WakeWaiters();
        m_bEngineFinished.Wait(INFINITE);
        m_bEngineRunning.store(false);
    }
}

int CHSProtocol::BeginExchange(BYTE code, const std::atomic<bool>& cancel) {
    // An engine that never started (or has been stopped) would never answer.
    if (!m_bStarted.load() || m_bEngineStop.load()) return kCancelled;
    if (!m_semRequest.WaitUnless(cancel)) return kCancelled;
    const BYTE request[2] = {code, 0x00};
    if (!m_bufRequest.PutUnless(request, 2, cancel) || !m_bufReply.WaitFilledUnless(cancel)) {
        m_semRequest.Release();
        return kCancelled;
    }
    return m_bufReply.m_pData[0];
}

void CHSProtocol::EndExchange() {
    m_bufReply.MarkEmpty();
    m_semRequest.Release();
}

int CHSProtocol::SendCommand(BYTE code) {
    return Exchange(code, [](const BYTE*, int) { return static_cast<int>(STATUS_OK); });
}

int CHSProtocol::GetDeviceInfo(BYTE* record) {
    return Exchange(CMD_DEVICE_INFO, [record](const BYTE* body, int length) -> int {
        if (length - 3 < 16) return STATUS_BAD_REPLY;
        std::memcpy(record, body + 2, 16);
        return STATUS_OK;
    });
}

void CHSProtocol::StartKeepAlive(DWORD intervalMs) {
    {
        std::lock_guard lock(m_csKeepAlive);
        m_nKeepAliveInterval = intervalMs;
    }
    m_evKeepAlive.Set();
}

void CHSProtocol::CancelCallers() {
    // The flag first, then the wake-ups: a caller between its look at the flag and its sleep is woken.
    m_bCallersCancel.store(true);
    m_semRequest.WakeWaiters();
    m_bufRequest.WakeWaiters();
    m_bufReply.WakeWaiters();
}

UINT CHSProtocol::EngineThread(void* param) {
    if (param == nullptr) return static_cast<UINT>(-1);
    auto* self = static_cast<CHSProtocol*>(param);
    if (self->m_placement) self->m_placement->Join();
    self->m_bEngineRunning.store(true);
    self->RunEngine();
    self->m_bEngineFinished.Set();  // last act
    return 0;
}

bool CHSProtocol::PutSyntheticReply(BYTE status) {
    const BYTE body[3] = {status, 0x00, status};
    return m_bufReply.PutUnless(body, 3, m_bEngineStop);
}

void CHSProtocol::AbortPartialFrame() {
    std::lock_guard lock(m_csListener);
    if (m_pListener != nullptr) m_pListener->m_bAbort.store(true);
}

void CHSProtocol::RunEngine() {
    BYTE* const transmit = m_pTransmit.get();
    while (!m_bEngineStop.load()) {
        if (!m_bufRequest.WaitFilledUnless(m_bEngineStop)) break;

        const BYTE code = m_bufRequest.m_pData[0];
        if (!IsCommand(code)) {
            m_bufRequest.MarkEmpty();
            if (!PutSyntheticReply(STATUS_REFUSED)) break;
            continue;
        }
        // Sync byte, request, checksum: the frame has to fit the transmit block.
        const int length = std::clamp(m_bufRequest.m_nLength, 1, m_bufRequest.m_nSize - 2);
        transmit[0] = SYNC_BYTE;
        std::memcpy(transmit + 1, m_bufRequest.m_pData.get(), static_cast<size_t>(length));
        transmit[length + 1] = Xor(transmit + 1, length);
        // Taken before the write: every byte counted here arrived before the request went out, so no
        // reply begins among them. The receiver's count first, then what waits unread: a byte moves from
        // the second to the first, so none is counted twice.
        const std::uint64_t replyFrom = m_nBytesReceived.load() + m_pInterface->UnreadBytes();
        std::uint32_t written = 0;
        m_pInterface->Write(static_cast<std::uint32_t>(length + 2), transmit, &written);
        m_bufRequest.MarkEmpty();

        if (!WaitForReply(replyFrom)) {
            if (m_bEngineStop.load()) break;
            AbortPartialFrame();
            if (!PutSyntheticReply(STATUS_NO_REPLY)) break;
            continue;
        }
        const BYTE* body = m_bufReceived.m_pData.get();
        const int n = m_bufReceived.m_nLength;
        if (n < 3 || Xor(body, n - 1) != body[n - 1]) {
            m_bufReceived.MarkEmpty();
            if (!PutSyntheticReply(STATUS_BAD_REPLY)) break;
            continue;
        }
        const bool delivered = m_bufReply.PutUnless(body, n, m_bEngineStop);
        m_bufReceived.MarkEmpty();
        if (!delivered) break;
    }
    m_bufRequest.MarkEmpty();
    m_bufReceived.MarkEmpty();
}

bool CHSProtocol::WaitForReply(std::uint64_t replyFrom) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nTimeout);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const DWORD waitMs = static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0));
        if (!m_bufReceived.WaitFilledUnless(m_bEngineStop, waitMs)) return false;
        if (m_bufReceived.m_nTag >= replyFrom) return true;
        m_bufReceived.MarkEmpty();  // began before the request was written: not its reply
    }
}

UINT CHSProtocol::KeepAliveThread(void* param) {
    if (param == nullptr) return static_cast<UINT>(-1);
    auto* self = static_cast<CHSProtocol*>(param);
    if (self->m_placement) self->m_placement->Join();
    self->m_bKeepAliveRunning.store(true);
    self->RunKeepAlive();
    self->m_bKeepAliveFinished.Set();  // last act
    return 0;
}

void CHSProtocol::RunKeepAlive() {
    m_evKeepAlive.Wait(INFINITE);
    while (!m_bKeepAliveStop.load()) {
        const int status = BeginExchange(CMD_KEEP_ALIVE, m_bKeepAliveStop);
        if (status == kCancelled) break;
        EndExchange();
        // Only a missing reply means the link is lost; a shutdown in progress is not a lost link.
        if (status == STATUS_NO_REPLY && !m_bKeepAliveStop.load() && PostToMainWindow(WM_LINK_LOST, 0, 0))
            break;

        DWORD interval = 0;
        {
            std::lock_guard lock(m_csKeepAlive);
            interval = m_nKeepAliveInterval;
        }
        m_keepAliveSleep.SleepFor(interval, m_bKeepAliveStop);
        m_evKeepAlive.Wait(INFINITE);
    }
}
