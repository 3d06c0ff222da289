#include "framework/modal_helpers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTest>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

void InstallFailingMessageBoxAnswerer();

void WhenModal(std::function<void(QWidget* modal)> step) {
    QTimer::singleShot(0, qApp, [step] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr) {
            modal->activateWindow();
            (void)QTest::qWaitForWindowActive(modal, 2000);
        }
        step(modal);
    });
}

ModalDeadline::ModalDeadline(int milliseconds) : m_timer(new QTimer) {
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, [] {
        ADD_FAILURE() << "a modal window was still open at the deadline";
        while (QWidget* modal = QApplication::activeModalWidget()) {
            auto* dialog = qobject_cast<QDialog*>(modal);
            if (dialog == nullptr) break;
            dialog->done(IDCANCEL);
            dialog->reject();
            QCoreApplication::processEvents();
            if (QApplication::activeModalWidget() == modal) break;
        }
    });
    m_timer->start(milliseconds);
}

ModalDeadline::~ModalDeadline() { delete m_timer; }

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    SetMessageBoxAnswerer([this, answer](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return answer;
    });
}

MessageBoxRecorder::MessageBoxRecorder(std::function<int(const MessageBoxRequest&)> answerer) {
    SetMessageBoxAnswerer([this, answerer](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return answerer(request);
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { InstallFailingMessageBoxAnswerer(); }

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        // Sleeps in the event dispatcher until something arrives (at most 10 ms at a time).
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

DialogTemplate BuiltInTemplate(int id) {
    const DialogTemplate* found = CResourceModule::BuiltIn().FindDialog(id);
    EXPECT_NE(found, nullptr) << "dialog " << id;
    return found != nullptr ? *found : DialogTemplate{};
}
