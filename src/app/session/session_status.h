#pragma once
// The session's status message and its codes (wParam of WM_SESSION_STATUS; lParam is 0).
#include "platform/win_types.h"

inline constexpr UINT WM_SESSION_STATUS = 0x1788;

inline constexpr WPARAM SESSION_OK = 0;
inline constexpr WPARAM SESSION_FAILED = 1;
inline constexpr WPARAM SESSION_CLOSED = 2;
inline constexpr WPARAM SESSION_UNKNOWN_DEVICE = 5;

// The keep-alive interval the session asks for when the tool's flags want it.
inline constexpr DWORD kKeepAliveIntervalMs = 1000;
