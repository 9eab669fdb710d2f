// Owner-drawn bitmap buttons of RyvoWin and the installer: creation from a
// table row and drawing of the row's pressed or normal bitmap, loaded anew
// for every drawing and copied 1:1 through a memory device context.
#include <windows.h>

#include "bitmap_buttons.h"

namespace {

// The dialog's scale against 96 DPI on each axis, as a fraction.
struct Scale {
  int xNumerator, xDenominator, yNumerator, yDenominator;
};

// A known rectangle of dialog units as the dialog maps it, against the
// same rectangle in the base units its font has at 96 DPI (the font made
// again at the 96-DPI height, measured as Windows measures base units).
// Exactly 1:1 at 96 DPI.
Scale DialogScale(HWND dialog) {
  Scale scale = {1, 1, 1, 1};
  HDC dc = GetDC(dialog);
  if (dc == NULL) return scale;
  int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  HFONT font = (HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0);
  LOGFONTW log;
  if ((dpiX != 96 || dpiY != 96) && dpiY > 0 && font != NULL &&
      GetObjectW(font, sizeof log, &log) == sizeof log) {
    RECT known = {0, 0, 400, 800};   // 100 base units each way
    MapDialogRect(dialog, &known);
    log.lfHeight = MulDiv(log.lfHeight, 96, dpiY);
    HFONT font96 = CreateFontIndirectW(&log);
    if (font96 != NULL) {
      HGDIOBJ previous = SelectObject(dc, font96);
      TEXTMETRICW metrics;
      SIZE size;
      if (GetTextMetricsW(dc, &metrics) &&
          GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
                                52, &size)) {
        int baseX = (size.cx / 26 + 1) / 2;
        int baseY = metrics.tmHeight;
        if (baseX > 0 && baseY > 0 && known.right > 0 && known.bottom > 0) {
          scale.xNumerator = known.right;
          scale.xDenominator = 100 * baseX;
          scale.yNumerator = known.bottom;
          scale.yDenominator = 100 * baseY;
        }
      }
      SelectObject(dc, previous);
      DeleteObject(font96);
    }
  }
  ReleaseDC(dialog, dc);
  return scale;
}

}  // namespace

HWND CreateBitmapButton(HWND parent, HINSTANCE instance, const BitmapButton* row) {
  Scale s = DialogScale(parent);
  int left = MulDiv(row->left, s.xNumerator, s.xDenominator);
  int top = MulDiv(row->top, s.yNumerator, s.yDenominator);
  int right = MulDiv(row->right, s.xNumerator, s.xDenominator);
  int bottom = MulDiv(row->bottom, s.yNumerator, s.yDenominator);
  return CreateWindowExA(0, "button", "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                         left, top, right - left, bottom - top, parent,
                         (HMENU)(INT_PTR)row->id, instance, NULL);
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

  // The button pressed last (by the mouse, which gives it the focus, or
  // by a key): it shows no focus rectangle, also when the focus comes back
  // to it from a message box, until another button takes the focus.
  static HWND pressedSinceFocus;
  if ((item->itemAction & ODA_SELECT) && (item->itemState & ODS_SELECTED))
    pressedSinceFocus = item->hwndItem;
  if ((item->itemAction & ODA_FOCUS) && (item->itemState & ODS_FOCUS) &&
      pressedSinceFocus != item->hwndItem)
    pressedSinceFocus = NULL;

  int picture = (item->itemState & ODS_SELECTED) ? row->pressed : row->normal;
  HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(picture));
  if (bitmap == NULL) return;

  if (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT | ODA_FOCUS)) {
    // The bitmap 1:1, centred; a button larger than it (a dialog scaled
    // above 96 DPI) shows the button face around it.
    int width = item->rcItem.right - item->rcItem.left;
    int height = item->rcItem.bottom - item->rcItem.top;
    BITMAP size;
    if (GetObjectA(bitmap, sizeof size, &size) != sizeof size) {
      size.bmWidth = width;
      size.bmHeight = height;
    }
    if (size.bmWidth < width || size.bmHeight < height)
      FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    int x = item->rcItem.left + (width > size.bmWidth ? (width - size.bmWidth) / 2 : 0);
    int y = item->rcItem.top + (height > size.bmHeight ? (height - size.bmHeight) / 2 : 0);
    HDC memory = CreateCompatibleDC(item->hDC);
    if (memory != NULL) {
      HGDIOBJ previous = SelectObject(memory, bitmap);
      if (previous != NULL && previous != HGDI_ERROR) {
        BitBlt(item->hDC, x, y, width < size.bmWidth ? width : size.bmWidth,
               height < size.bmHeight ? height : size.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
      }
      DeleteDC(memory);
    }
    // The button's own state of the cues as well: not every system marks
    // the item with ODS_NOFOCUSRECT.
    if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT) &&
        !(SendMessageW(item->hwndItem, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) &&
        pressedSinceFocus != item->hwndItem) {
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
