#include "app/session/quarvel_session.h"

#include <chrono>
#include <cstring>

#include "ids/resource_ids.h"
#include "platform/threads/main_window.h"
#include "platform/threads/thread.h"
#include "protocol/hs_protocol_app.h"
#include "protocol/interface.h"

CQuarvelSession::CQuarvelSession() = default;

CQuarvelSession::~CQuarvelSession() {
    WaitSessionThreadDone();
    ReleaseLink();
}

ToolRecord CQuarvelSession::SnapshotRecord() const {
    std::lock_guard lock(m_recordMutex);
    return m_record;
}

void CQuarvelSession::UpdateRecord(const std::function<void(ToolRecord&)>& edit) {
    std::lock_guard lock(m_recordMutex);
    edit(m_record);
}

CHSProtocolApp* CQuarvelSession::CreateEngine(CInterface* port) { return new CHSProtocolApp(port); }

CQuarvelSession::StartOutcome CQuarvelSession::StartSession() {
    if (Port == nullptr) return StartOutcome::NoPort;
    if (IsSessionThreadActive()) return StartOutcome::Busy;
    Engine = CreateEngine(Port);
    if (Engine == nullptr || !Engine->m_bStarted) {
        ReleaseLink();
        return StartOutcome::EngineNotStarted;
    }
    {
        std::lock_guard lock(m_threadMutex);
        m_threadActive = true;
    }
    if (!AfxBeginThread(&CQuarvelSession::RunSession, this)) {
        MarkSessionThreadDone();
        ReleaseLink();
        return StartOutcome::ThreadNotStarted;
    }
    SessionRunning = true;
    m_dropPending = false;
    return StartOutcome::Started;
}

UINT CQuarvelSession::RunSession(void* param) {
    auto* self = static_cast<CQuarvelSession*>(param);
    const WPARAM outcome = self->Run();
    PostToMainWindow(WM_SESSION_STATUS, outcome, 0);
    // The last touch of the object: after this the owner may release the link or destroy it.
    self->MarkSessionThreadDone();
    return 0;
}

WPARAM CQuarvelSession::Run() {
    CHSProtocolApp& engine = *Engine;

    BYTE info[16] = {};
    if (engine.GetDeviceInfo(info) != STATUS_OK) return SESSION_FAILED;
    ToolRecord current;
    Store([&](ToolRecord& r) {
        std::memcpy(r.DeviceInfo, info, sizeof info);
        current = r;
    });
    if (!ModelMatches(current.ExpectedModel, current.DeviceInfo)) return SESSION_UNKNOWN_DEVICE;

    if (engine.SendCommand(CMD_ATTACH) != STATUS_OK) return SESSION_FAILED;
    if (WantsKeepAlive(current)) engine.StartKeepAlive(kKeepAliveIntervalMs);

    DWORD v[7] = {};
    if (engine.GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]) != STATUS_OK)
        return SESSION_FAILED;
    Store([&](ToolRecord& r) {
        r.CycleCounter = v[0];
        r.TotalCounter = v[1];
        r.PositionCounts = v[2];
        r.ForceReading = v[3];
        r.CycleFlags = v[4];
        r.ForceDivisor = v[5];
        r.ForceFactor = v[6];
    });

    // Each text is read into a local buffer first, so the record lock is never held across an exchange.
    if (!ReadText(engine, &CHSProtocolApp::GetControllerSerial, &ToolRecord::ControllerSerial) ||
        !ReadText(engine, &CHSProtocolApp::GetToolSerial, &ToolRecord::ToolSerial) ||
        !ReadText(engine, &CHSProtocolApp::GetFirmwareVersion, &ToolRecord::FirmwareVersion) ||
        !ReadText(engine, &CHSProtocolApp::GetToolModel, &ToolRecord::ToolModel)) {
        return SESSION_FAILED;
    }

    return SESSION_OK;
}

template <std::size_t N>
bool CQuarvelSession::ReadText(CHSProtocolApp& engine, int (CHSProtocolApp::*command)(char16_t (&)[N]),
                               char16_t (ToolRecord::*field)[N]) {
    char16_t text[N] = {};
    if ((engine.*command)(text) != STATUS_OK) return false;
    Store([&](ToolRecord& r) { std::memcpy(r.*field, text, sizeof text); });
    return true;
}

void CQuarvelSession::ReleaseLink() {
    WaitSessionThreadDone();
    if (Engine != nullptr) {
        delete Engine;
        Engine = nullptr;
    }
    if (Port != nullptr) {
        delete Port;
        Port = nullptr;
    }
}

CQuarvelSession::StatusReaction CQuarvelSession::HandleSessionStatus(WPARAM code) {
    SessionRunning = false;
    const bool dropPending = m_dropPending;
    m_dropPending = false;
    switch (code) {
        case SESSION_OK:
            if (dropPending) {
                // The link was lost while the session read: finish the deferred drop now.
                CompleteDrop();
                return StatusReaction::Nothing;
            }
            Connected = true;
            return StatusReaction::ShowRecord;
        case SESSION_FAILED:
            Connected = false;
            ReleaseLink();
            return StatusReaction::ShowFailed;
        case SESSION_UNKNOWN_DEVICE:
            Connected = false;
            ReleaseLink();
            return StatusReaction::ShowUnknown;
        case SESSION_CLOSED:
            return StatusReaction::ShowClosed;
        default:
            return StatusReaction::Nothing;
    }
}

UINT CQuarvelSession::MessageOf(StatusReaction reaction) {
    switch (reaction) {
        case StatusReaction::ShowFailed:
            return IDS_LINK_NOT_ESTABLISHED;
        case StatusReaction::ShowUnknown:
            return IDS_UNKNOWN_DEVICE;
        case StatusReaction::ShowClosed:
            return IDS_DISCONNECTED;
        default:
            return 0;
    }
}

bool CQuarvelSession::DropLink() {
    if (SessionRunning) {
        m_dropPending = true;
        return false;
    }
    CompleteDrop();
    return true;
}

void CQuarvelSession::CompleteDrop() {
    ReleaseLink();
    Connected = false;
    PostToMainWindow(WM_SESSION_STATUS, SESSION_CLOSED, 0);
}

void CQuarvelSession::Disconnect() {
    ReleaseLink();
    Connected = false;
    PostToMainWindow(WM_SESSION_STATUS, SESSION_CLOSED, 0);
}

void CQuarvelSession::AbortSession() {
    if (Engine != nullptr) Engine->CancelCallers();
}

bool CQuarvelSession::IsSessionThreadActive() const {
    std::lock_guard lock(m_threadMutex);
    return m_threadActive;
}

void CQuarvelSession::MarkSessionThreadDone() {
    std::lock_guard lock(m_threadMutex);
    m_threadActive = false;
    // Notified under the lock: a waiter cannot return (and destroy this object) before we let go.
    m_threadCv.notify_all();
}

bool CQuarvelSession::WaitSessionThreadFor(DWORD timeoutMs) {
    std::unique_lock lock(m_threadMutex);
    return m_threadCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this] { return !m_threadActive; });
}

void CQuarvelSession::WaitSessionThreadDone() {
    std::unique_lock lock(m_threadMutex);
    m_threadCv.wait(lock, [this] { return !m_threadActive; });
}
