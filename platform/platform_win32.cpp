// Platform services of RyvoWin for the exchange and the settings editor:
// message boxes without owner and the stock list, a list box (a StockList
// is its handle). Texts are code page 932; they meet Windows through the
// wide calls, converted by text_codec, so that they mean the same whatever
// the system's code page is. The files are files_win32.cpp's.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "platform.h"
#include "text_codec.h"

namespace {

enum { kEntrySize = 512, kTextCount = 4096 };

LRESULT ListMessage(StockList list, UINT message, WPARAM w, LPARAM l) {
  return SendMessageW((HWND)list, message, w, l);
}

}  // namespace

int PfMessageBox(const char* text, const char* caption, int buttons) {
  static wchar_t wideText[kTextCount], wideCaption[kTextCount];
  Cp932ToWide(text, wideText, kTextCount);
  Cp932ToWide(caption, wideCaption, kTextCount);
  UINT type = buttons == PF_MB_OKCANCEL ? MB_OKCANCEL : MB_OK;
  return MessageBoxW(NULL, wideText, wideCaption, type) == IDOK ? PF_IDOK : PF_IDCANCEL;
}

int PfListCount(StockList list) {
  LRESULT count = ListMessage(list, LB_GETCOUNT, 0, 0);
  return count == LB_ERR ? 0 : (int)count;
}

int PfListGetText(StockList list, int index, char* buffer, int size) {
  if (buffer == NULL || size <= 0) return -1;
  buffer[0] = 0;
  if (index < 0 || index >= PfListCount(list)) return -1;
  LRESULT length = ListMessage(list, LB_GETTEXTLEN, (WPARAM)index, 0);
  if (length == LB_ERR || length >= kEntrySize) return -1;
  wchar_t wide[kEntrySize];
  if (ListMessage(list, LB_GETTEXT, (WPARAM)index, (LPARAM)wide) == LB_ERR) return -1;
  wide[length] = 0;
  // Entries come from code page 932 texts, so they convert back whole.
  char entry[2 * kEntrySize];
  if (WideToCp932(wide, entry, sizeof entry) != 0) return -1;
  int n = (int)strlen(entry);
  if (n > size - 1) n = size - 1;
  memcpy(buffer, entry, n);
  buffer[n] = 0;
  return n;
}

int PfListAppend(StockList list, const char* text) {
  return PfListInsert(list, -1, text);
}

int PfListInsert(StockList list, int index, const char* text) {
  wchar_t wide[kEntrySize];
  if (Cp932ToWide(text, wide, kEntrySize) != 0) return -1;
  LRESULT at = ListMessage(list, LB_INSERTSTRING, (WPARAM)index, (LPARAM)wide);
  return at == LB_ERR || at == LB_ERRSPACE ? -1 : (int)at;
}

int PfListDelete(StockList list, int index) {
  if (index < 0 || index >= PfListCount(list)) return -1;
  return ListMessage(list, LB_DELETESTRING, (WPARAM)index, 0) == LB_ERR ? -1 : 0;
}

int PfListSelection(StockList list) {
  LRESULT at = ListMessage(list, LB_GETCURSEL, 0, 0);
  return at == LB_ERR ? -1 : (int)at;
}

void PfListSelect(StockList list, int index) {
  ListMessage(list, LB_SETCURSEL, (WPARAM)index, 0);
}
