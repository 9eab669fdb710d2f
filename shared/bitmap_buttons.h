// Owner-drawn bitmap buttons, shared by RyvoWin and the installer: a table
// of rows (control ID, rectangle in client pixels at 96 DPI, bitmap while pressed,
// bitmap otherwise), created as child buttons scaled with the dialog and
// drawn 1:1 from bitmap resources loaded anew for every drawing.
#pragma once

#include <windows.h>

struct BitmapButton {
  int id;                            // control ID, also the command number
  int left, top, right, bottom;      // client pixels at 96 DPI
  int pressed;                       // bitmap resource shown while pressed
  int normal;                        // bitmap resource shown otherwise
};

// Creates the button of one row as an owner-drawn child of `parent` (a
// dialog), its rectangle scaled as the dialog is scaled against 96 DPI
// (unchanged at 96 DPI); a tab stop, so that it is reached with Tab and
// pressed with Space (or Enter, see FocusedBitmapButton); returns its
// handle (NULL on failure).
HWND CreateBitmapButton(HWND parent, HINSTANCE instance, const BitmapButton* row);

// Handles WM_DRAWITEM for a table: ignores other control types and IDs not
// in the table; draws the pressed or normal bitmap (1:1, centred) when the
// whole item, its selection or its focus is to be drawn, and over it the
// focus rectangle while the button has the focus and the keyboard cues are
// shown, unless it is the button pressed last and no other button has
// taken the focus since (a button pressed with the mouse keeps its
// picture unmarked).
void DrawBitmapButton(HINSTANCE instance, const DRAWITEMSTRUCT* item,
                      const BitmapButton* table, int count);

// The control ID of the table's button that has the focus in `dialog`, or
// 0. Enter in a dialog sends IDOK; a dialog passes it on to this button.
int FocusedBitmapButton(HWND dialog, const BitmapButton* table, int count);
