#pragma once
// Runs a command or message handler the way the framework's command handling does: a CFileException
// (or any other exception) that leaves the handler is reported in a message box with the stop icon
// and goes no further, so the window that ran the command stays open. UI thread only.
#include <functional>

#include "platform/win_types.h"

class CFileException;

void AfxRunGuarded(const std::function<void()>& handler);

// The framework's text for a file exception: the message for its cause with the file's path.
CString AfxFileExceptionText(const CFileException& error);
