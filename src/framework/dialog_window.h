#pragma once
// The Qt window of a CDialog: turns Enter, Esc, the close box, right-clicks, Alt+Space and the menu
// button into the dialog's commands. Internal to the framework; UI thread only; owned by its CDialog.
#include <QDialog>

class CDialog;
class QToolButton;

class DialogWindow : public QDialog {
public:
    DialogWindow(CDialog& owner, QWidget* parent, Qt::WindowFlags flags, bool systemMenu);
    // The small button in the top-right corner that opens the system menu (null without one).
    QToolButton* MenuButton() const { return m_menuButton; }
    void PlaceMenuButton();

    void reject() override;
    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void QueueCancel();

    CDialog& m_owner;
    QToolButton* m_menuButton = nullptr;
};
