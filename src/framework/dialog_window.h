#pragma once
// The Qt window of a CDialog: turns Enter, Esc, the close box, right-clicks, Alt+Space and the menu
// button into the dialog's commands. Internal to the framework; UI thread only; owned by its CDialog.
#include <QDialog>
#include <QSize>

class CDialog;
class QScrollArea;
class QToolButton;

class DialogWindow : public QDialog {
public:
    DialogWindow(CDialog& owner, QWidget* parent, Qt::WindowFlags flags, bool systemMenu);
    // The small button in the top-right corner that opens the system menu (null without one).
    QToolButton* MenuButton() const { return m_menuButton; }
    void PlaceMenuButton();
    // A dialog that can be resized: never smaller than `templateSize` (or the screen's room, when that is
    // smaller: the controls then sit on `surface` inside `scroll`); its anchored controls follow.
    void MakeResizable(const QSize& templateSize, QScrollArea* scroll, QWidget* surface);

    void reject() override;
    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void QueueCancel();

    CDialog& m_owner;
    QToolButton* m_menuButton = nullptr;
    QSize m_templateSize;  // empty: a dialog of fixed size
    QScrollArea* m_scroll = nullptr;
    QWidget* m_surface = nullptr;  // where the controls are: the window, or the scroll area's widget
};
