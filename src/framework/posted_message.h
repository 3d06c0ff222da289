#pragma once
// Delivery of messages posted from any thread to the main window: a Qt event queued to an object that
// lives on the UI thread for as long as the application object. UI-thread object; postEvent is the
// only part other threads touch (Qt's posting is thread-safe).
#include <QEvent>
#include <QObject>

#include "framework/posted_message_dispatcher.h"
#include "platform/win_types.h"

class CWinApp;

class PostedMessageEvent : public QEvent {
public:
    PostedMessageEvent(UINT message, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam) {}
    static QEvent::Type EventType();

    UINT m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

class QtPostedMessageDispatcher : public QObject, public PostedMessageDispatcher {
public:
    explicit QtPostedMessageDispatcher(CWinApp& app) : m_app(app) {}
    // Queues; callable from any thread while the dispatcher exists.
    void Post(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    bool event(QEvent* event) override;

private:
    CWinApp& m_app;
};
