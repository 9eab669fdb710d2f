// Owner-drawn bitmap buttons of RyvoWin and the installer: creation from a
// table row and drawing of the row's pressed or normal bitmap, loaded anew
// for every drawing and copied 1:1 through a memory device context.
#include <windows.h>

#include "bitmap_buttons.h"

HWND CreateBitmapButton(HWND parent, HINSTANCE instance, const BitmapButton* row) {
  return CreateWindowExA(0, "button", "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                         row->left, row->top, row->right - row->left,
                         row->bottom - row->top, parent, (HMENU)(INT_PTR)row->id,
                         instance, NULL);
}

void DrawBitmapButton(HINSTANCE instance, const DRAWITEMSTRUCT* item,
                      const BitmapButton* table, int count) {
  if (item == NULL || item->CtlType != ODT_BUTTON) return;
  const BitmapButton* row = NULL;
  for (int i = 0; i < count; ++i)
    if (table[i].id == (int)item->CtlID) {
      row = &table[i];
      break;
    }
  if (row == NULL) return;

  int picture = (item->itemState & ODS_SELECTED) ? row->pressed : row->normal;
  HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(picture));
  if (bitmap == NULL) return;

  if (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT | ODA_FOCUS)) {
    HDC memory = CreateCompatibleDC(item->hDC);
    if (memory != NULL) {
      HGDIOBJ previous = SelectObject(memory, bitmap);
      if (previous != NULL && previous != HGDI_ERROR) {
        BitBlt(item->hDC, item->rcItem.left, item->rcItem.top,
               item->rcItem.right - item->rcItem.left,
               item->rcItem.bottom - item->rcItem.top, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
      }
      DeleteDC(memory);
    }
    if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT)) {
      RECT focus = item->rcItem;
      InflateRect(&focus, -2, -2);
      DrawFocusRect(item->hDC, &focus);
    }
  }
  DeleteObject(bitmap);
}

int FocusedBitmapButton(HWND dialog, const BitmapButton* table, int count) {
  HWND focus = GetFocus();
  if (focus == NULL || GetParent(focus) != dialog) return 0;
  int id = GetDlgCtrlID(focus);
  for (int i = 0; i < count; ++i)
    if (table[i].id == id) return id;
  return 0;
}
