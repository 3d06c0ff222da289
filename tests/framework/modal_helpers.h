#pragma once
// Helpers for driving dialogs and message boxes offscreen from a test. UI thread only.
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "platform/resource_module.h"

class QWidget;

// Runs `step` from inside the next event loop that runs (normally the modal loop that DoModal is
// about to start), with the active modal window.
void WhenModal(std::function<void(QWidget* modal)> step);

// Ends every open modal window when the deadline passes first, and then fails the test, so a dialog
// that never ends cannot hang the test run.
class ModalDeadline {
public:
    explicit ModalDeadline(int milliseconds = 20000);
    ~ModalDeadline();
    ModalDeadline(const ModalDeadline&) = delete;
    ModalDeadline& operator=(const ModalDeadline&) = delete;

private:
    class QTimer* m_timer;
};

// Answers every message box with `answer` and records what each showed; restores the test run's
// default (fail on any box) when it goes.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK);
    MessageBoxRecorder(std::function<int(const MessageBoxRequest&)> answerer);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<MessageBoxRequest> boxes;
};

// Spins the event loop until `done` holds or the time-out passes; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int milliseconds = 5000);

// The widget of a dialog control (the framework names each one "ctl<id>").
template <class Widget>
Widget* Control(QWidget* dialog, int id) {
    return dialog == nullptr ? nullptr : dialog->findChild<Widget*>(QStringLiteral("ctl%1").arg(id));
}

// The built-in module's template with this id (a copy).
DialogTemplate BuiltInTemplate(int id);
