// The stock settings dialog RECEDIT_DLG of RyvoWin: creates a stock or
// edits one stock's settings file. The file work is stock_settings.h's;
// this module moves the field texts between it and the controls.
#pragma once

#include <windows.h>

#include "stock_settings.h"

// The two names through which the main window talks to the dialog.
// CurrentStockName is the stock to edit, empty for a new stock (set by the
// caller); ResultStockName is what the dialog leaves behind: the saved name
// after 登録, the current name when an existing stock was left unchanged,
// all zero when a new stock was abandoned. Both are zero-terminated code
// page 932 text.
extern char CurrentStockName[kNameSize];
extern char ResultStockName[kNameSize];

// Runs RECEDIT_DLG modally with no owner window and returns when it has
// closed; ResultStockName is then set. The caller sets the busy flag.
void RunStockDialog(HINSTANCE instance);

// The dialog's parts, named as the rest of the program names them.
// ReadStockSettings: 1 ready, 0 close at once, -1 stays open partly filled.
// ValidateStockSettings: 1 when the limits hold, -1 after a message.
// SaveStockSettings: 0 saved and ResultStockName set, -1 nothing saved.
int ReadStockSettings(HWND dialog);
int ValidateStockSettings(HWND dialog);
int SaveStockSettings(HWND dialog);
