// Owner-drawn bitmap buttons, shared by RyvoWin and the installer: a table
// of rows (control ID, rectangle in client pixels, bitmap while pressed,
// bitmap otherwise), created as child buttons and drawn 1:1 from bitmap
// resources loaded anew for every drawing.
#pragma once

#include <windows.h>

struct BitmapButton {
  int id;                            // control ID, also the command number
  int left, top, right, bottom;      // client pixels
  int pressed;                       // bitmap resource shown while pressed
  int normal;                        // bitmap resource shown otherwise
};

// Creates the button of one row as an owner-drawn child of `parent`;
// returns its handle (NULL on failure).
HWND CreateBitmapButton(HWND parent, HINSTANCE instance, const BitmapButton* row);

// Handles WM_DRAWITEM for a table: ignores other control types and IDs not
// in the table; draws the pressed or normal bitmap when the whole item or
// its selection is to be drawn; never draws a focus rectangle.
void DrawBitmapButton(HINSTANCE instance, const DRAWITEMSTRUCT* item,
                      const BitmapButton* table, int count);
