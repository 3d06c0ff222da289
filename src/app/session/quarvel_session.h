#pragma once
// CQuarvelSession: the Qt-free core of the application object. It owns the link (Port) and the protocol
// engine on it (Engine), holds the ToolRecord of the last session and runs the reading session on its
// own thread. Threads: the owner's thread (the UI thread, or the CLI's main thread) calls everything
// except RunSession, which is the session thread's body; SnapshotRecord and UpdateRecord may be called
// from any thread. The GUI's CQuarvelApp derives from it; the CLI owns one on its main thread.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

#include "app/session/session_status.h"
#include "app/settings/app_core.h"
#include "record/tool_record.h"

class CHSProtocolApp;
class CInterface;

class CQuarvelSession : public CQuarvelAppCore {
public:
    CQuarvelSession();
    // Waits until a running session thread is done with this object, then releases the link.
    ~CQuarvelSession() override;
    CQuarvelSession(const CQuarvelSession&) = delete;
    CQuarvelSession& operator=(const CQuarvelSession&) = delete;

    // Owning pointers, always released together by ReleaseLink: Engine first, then Port.
    CHSProtocolApp* Engine = nullptr;
    CInterface* Port = nullptr;
    // True from the handling of SESSION_OK until the next release.
    bool Connected = false;
    // True while a session has been started and its status not yet handled.
    bool SessionRunning = false;

    // A consistent copy of the record, taken under the record lock.
    ToolRecord SnapshotRecord() const;
    // Changes the record under the record lock (the dialog's transfer back before Save).
    void UpdateRecord(const std::function<void(ToolRecord&)>& edit);

    enum class StartOutcome {
        Started,           // the session thread runs; its status will be posted
        NoPort,            // Port is null: nothing was done
        Busy,              // a session thread still runs: nothing was done
        EngineNotStarted,  // the engine's threads did not all start: the link was released
        ThreadNotStarted,  // the session thread could not be created: the link was released
    };
    // Builds the engine on Port and starts the session thread (the steps of Connect after the port
    // dialog and the settings write). Started sets SessionRunning.
    StartOutcome StartSession();

    // The body of the session thread (an AFX_THREADPROC); `param` is the CQuarvelSession. Returns 0.
    static UINT RunSession(void* param);

    // Destroys Engine, then Port, nulling each; waits first for a running session thread to finish
    // with the engine, since destroying it under that thread would pull the engine from under it.
    void ReleaseLink();

    // What handling a status means for the owner's display.
    enum class StatusReaction {
        ShowRecord,   // SESSION_OK: now Connected; show the record
        ShowFailed,   // message 102; the link is already released
        ShowUnknown,  // message 134; the link is already released
        ShowClosed,   // message 106; the link is already gone
        Nothing,      // a code this system does not post, or an OK overtaken by a lost link
    };
    // The state changes on WM_SESSION_STATUS: SessionRunning becomes false; Connected follows the code. A
    // failed or refused read releases the link here, before its message is shown: the port and its lock
    // are not held behind the message, no keep-alive runs on, and no "Disconnected" can follow it.
    StatusReaction HandleSessionStatus(WPARAM code);
    // The message a reaction shows (the string's id), 0 for none. Every front end shows the same one.
    static UINT MessageOf(StatusReaction reaction);

    // On WM_LINK_LOST: ReleaseLink, Connected = false, post SESSION_CLOSED. While a session's status is
    // still to come, the drop is deferred to the handling of that status, so the engine never disappears
    // under the session thread; returns false in that case.
    bool DropLink();

    // The user's Disconnect after confirmation: ReleaseLink, Connected = false, post SESSION_CLOSED.
    void Disconnect();

    // Cuts a running session short because its owner is ending (Exit, a stop signal, a closed output):
    // the exchange it waits in and every later one end at once, so its status (SESSION_FAILED) follows
    // within moments instead of after the reply time-outs. Does nothing without an engine.
    void AbortSession();

    // True from StartSession until the session thread has finished with this object.
    bool IsSessionThreadActive() const;
    // Waits at most timeoutMs until the session thread has finished with this object; true when it has
    // (or none ran). For an owner that must end within a deadline whatever the link does.
    bool WaitSessionThreadFor(DWORD timeoutMs);

protected:
    // Builds the engine on the port; the CLI's reply time-out and tests come in here.
    virtual CHSProtocolApp* CreateEngine(CInterface* port);

private:
    WPARAM Run();
    // One text command: the text read into a local buffer, then stored into the record's field.
    template <std::size_t N>
    bool ReadText(CHSProtocolApp& engine, int (CHSProtocolApp::*command)(char16_t (&)[N]),
                  char16_t (ToolRecord::*field)[N]);
    // Stores one command's results into the record under the lock.
    void Store(const std::function<void(ToolRecord&)>& write) { UpdateRecord(write); }
    void CompleteDrop();
    void MarkSessionThreadDone();
    void WaitSessionThreadDone();

    mutable std::mutex m_recordMutex;
    ToolRecord m_record;

    mutable std::mutex m_threadMutex;
    std::condition_variable m_threadCv;
    bool m_threadActive = false;
    bool m_dropPending = false;  // owner's thread only
};
