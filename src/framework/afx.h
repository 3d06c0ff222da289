#pragma once
// The whole framework in one include, for the dialogs and the application.
#include "framework/afx_defs.h"
#include "framework/command_guard.h"
#include "framework/common_controls.h"
#include "framework/data_exchange.h"
#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/icon.h"
#include "framework/menu.h"
#include "framework/message_box.h"
#include "framework/wait_cursor.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
