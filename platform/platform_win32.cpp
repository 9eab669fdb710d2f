// Platform services of RyvoWin for the exchange and the settings editor:
// message boxes without owner and the stock list, a list box (a StockList
// is its handle). The files are files_win32.cpp's.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "platform.h"

namespace {

enum { kEntrySize = 512 };

LRESULT ListMessage(StockList list, UINT message, WPARAM w, LPARAM l) {
  return SendMessageA((HWND)list, message, w, l);
}

}  // namespace

int PfMessageBox(const char* text, const char* caption, int buttons) {
  UINT type = buttons == PF_MB_OKCANCEL ? MB_OKCANCEL : MB_OK;
  return MessageBoxA(NULL, text, caption, type) == IDOK ? PF_IDOK : PF_IDCANCEL;
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
  char entry[kEntrySize];
  if (ListMessage(list, LB_GETTEXT, (WPARAM)index, (LPARAM)entry) == LB_ERR) return -1;
  entry[length] = 0;
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
  LRESULT at = ListMessage(list, LB_INSERTSTRING, (WPARAM)index, (LPARAM)text);
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
