#include "framework/wait_cursor.h"

#include <QApplication>
#include <QCursor>

void BeginWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

void EndWaitCursor() {
    // An unpaired End must not take away a cursor someone else set.
    if (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

bool AfxIsWaitCursorShown() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}
