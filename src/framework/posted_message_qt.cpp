#include "framework/posted_message.h"

#include <QCoreApplication>

#include "framework/win_app.h"

QEvent::Type PostedMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

std::unique_ptr<PostedMessageDispatcher> MakePostedMessageDispatcher(CWinApp& app) {
    return std::make_unique<QtPostedMessageDispatcher>(app);
}

void QtPostedMessageDispatcher::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    QCoreApplication::postEvent(this, new PostedMessageEvent(message, wParam, lParam));
}

bool QtPostedMessageDispatcher::event(QEvent* event) {
    if (event->type() != PostedMessageEvent::EventType()) return QObject::event(event);
    const auto* posted = static_cast<PostedMessageEvent*>(event);
    m_app.Deliver(posted->m_message, posted->m_wParam, posted->m_lParam);
    return true;
}
