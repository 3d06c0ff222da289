#pragma once
// What the two backends' AfxMessageBox share: the box as it is to be shown, and the test seam's
// answerer (message_box_request.cpp). UI thread only.
#include "framework/message_box.h"

// The type with its default icon (see AfxMessageBox), the application's name as the caption.
MessageBoxRequest MessageBoxRequestFor(const CString& text, UINT type);
// The answerer SetMessageBoxAnswerer installed; empty when none is.
const MessageBoxAnswerer& CurrentMessageBoxAnswerer();
