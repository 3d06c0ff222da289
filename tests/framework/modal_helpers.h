#pragma once
// Helpers for driving dialogs and message boxes from a test, on both backends: offscreen Qt widgets on
// Linux, the real Win32 controls (by id, through SendMessage) under Wine. UI thread only.
#include <functional>
#include <vector>

#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "platform/resources/resource_module.h"

#ifdef _WIN32
struct HWND__;
using TestWindow = HWND__*;  // HWND
#else
#include <QString>
#include <QWidget>
using TestWindow = QWidget*;
#endif

// Runs `step` from inside the next event loop that runs (normally the modal loop that DoModal is
// about to start), with the active modal window.
void WhenModal(std::function<void(TestWindow modal)> step);

// Ends every open modal window when the deadline passes first, and then fails the test, so a dialog
// that never ends cannot hang the test run.
class ModalDeadline {
public:
    explicit ModalDeadline(int milliseconds = 20000);
    ~ModalDeadline();
    ModalDeadline(const ModalDeadline&) = delete;
    ModalDeadline& operator=(const ModalDeadline&) = delete;

private:
#ifdef _WIN32
    unsigned long long m_timer = 0;
#else
    class QTimer* m_timer;
#endif
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

// The run's default: any message box fails the test.
void InstallFailingMessageBoxAnswerer();

// Spins the event loop until `done` holds or the time-out passes; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int milliseconds = 5000);

// Delivers what is queued for the UI thread now, without waiting.
void ProcessPending();

// Whether the program runs under Wine, whose controls differ from Windows' in a few documented points.
bool UnderWine();

// A dialog's controls by id, as a user sees and uses them.
bool HasControl(TestWindow dialog, int id);
CString ControlText(TestWindow dialog, int id);                 // a list's or combo box's: the current item's
std::vector<CString> ListItems(TestWindow dialog, int id);      // a list's or combo box's items
void SelectRow(TestWindow dialog, int id, int row);             // as a user's click on that row
void TypeText(TestWindow dialog, int id, const CString& text);  // replaces an edit's text as typed
void Click(TestWindow dialog, int id);                          // a button's click
enum class Key { Return, Enter, Escape, Down, F4 };             // Enter: the keypad's
void PressKey(TestWindow dialog, int id, Key key);              // focuses the control, then the key as typed
bool ChooseText(TestWindow dialog, int id,
                const CString& text);  // a combo box's entry, as picked; false: none
void FocusControl(TestWindow dialog, int id);
int FocusedControl(TestWindow dialog);  // the id of the control with the focus; 0 when none has it
int EditLimit(TestWindow dialog, int id);
bool IsReadOnly(TestWindow dialog, int id);  // an edit the user cannot type into
bool IsChecked(TestWindow dialog, int id);   // a check box's or radio button's check
int ListRows(TestWindow dialog, int id);     // a list view's rows; -1 when it is none
CString ListCell(TestWindow dialog, int id, int row, int column);
void ClickListHeader(TestWindow dialog, int id, int column);  // a mouse click on a column's header
void DoubleClickListRow(TestWindow dialog, int id, int row);  // a double-click on a row
int ListOverflowPx(TestWindow dialog,
                   int id);  // how much wider the columns are than the list shows (0: none)
CString ToolTipOf(TestWindow dialog, int id);
bool IsDimmed(TestWindow dialog, int id);
void PressEscape(TestWindow dialog);  // Esc, as the keyboard delivers it to the focused control
bool HasIcon(TestWindow window);      // the window's own icon (the title bar's, the task bar's)
bool IsControlShown(TestWindow dialog, int id);
bool IsControlEnabled(TestWindow dialog, int id);
bool IsWindowShown(TestWindow window);
CString WindowCaption(TestWindow window);
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};
PixelRect ControlRect(TestWindow dialog, int id);  // in the dialog's client area
PixelRect ClientRect(TestWindow window);           // x and y are 0
// Resizes the window by dx, dy pixels as the user's drag of its frame does.
void ResizeWindowBy(TestWindow window, int dx, int dy);

#ifndef _WIN32
// The widget of a dialog control (the framework names each one "ctl<id>").
template <class Widget>
Widget* Control(QWidget* dialog, int id) {
    return dialog == nullptr ? nullptr : dialog->findChild<Widget*>(QStringLiteral("ctl%1").arg(id));
}
#endif

// The built-in module's template with this id (a copy).
DialogTemplate BuiltInTemplate(int id);
