// winshot: a small helper of the screenshot scripts, run under Wine next
// to the programs it pictures. It finds a top-level window by its exact
// title and tells where it is, or puts it into the state a picture needs.
//
//   winshot wait TITLE [SECONDS]   exit 0 once the window is visible
//   winshot rect TITLE             print "left top right bottom" (screen)
//   winshot press TITLE ID         show button ID held down (no click)
//   winshot post TITLE ID          post command ID to the window
//   winshot select TITLE ID INDEX  select entry INDEX of list box ID
//
// The programs run on Wine's virtual desktop; winshot joins the desktop
// named by WINSHOT_DESKTOP (when set) before it looks for windows.
//
// Exit 0 on success, 1 when the window or control is not there, 2 on a
// usage error.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

HWND FindVisible(const char* title) {
  HWND window = FindWindowA(NULL, title);
  return window != NULL && IsWindowVisible(window) ? window : NULL;
}

// Joins the desktop named by WINSHOT_DESKTOP; true when there is none to
// join or it was joined.
bool JoinDesktop() {
  static bool joined = false;
  const char* name = getenv("WINSHOT_DESKTOP");
  if (joined || name == NULL || name[0] == 0) return true;
  HDESK desktop = OpenDesktopA(name, 0, FALSE, GENERIC_ALL);
  joined = desktop != NULL && SetThreadDesktop(desktop);
  return joined;
}

int Usage() {
  fprintf(stderr,
          "usage: winshot wait TITLE [SECONDS] | rect TITLE | press TITLE ID |\n"
          "               post TITLE ID | select TITLE ID INDEX\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const char* command = argv[1];
  const char* title = argv[2];

  if (strcmp(command, "wait") == 0) {
    int tenths = (argc > 3 ? atoi(argv[3]) : 30) * 10;
    for (int i = 0; i < tenths; ++i) {
      if (JoinDesktop() && FindVisible(title) != NULL) return 0;
      Sleep(100);
    }
    fprintf(stderr, "winshot: no window \"%s\"\n", title);
    return 1;
  }

  HWND window = JoinDesktop() ? FindVisible(title) : NULL;
  if (window == NULL) {
    fprintf(stderr, "winshot: no window \"%s\"\n", title);
    return 1;
  }
  if (strcmp(command, "rect") == 0 && argc == 3) {
    RECT r;
    if (!GetWindowRect(window, &r)) return 1;
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (argc < 4) return Usage();
  int id = atoi(argv[3]);
  if (strcmp(command, "press") == 0 && argc == 4) {
    HWND button = GetDlgItem(window, id);
    if (button == NULL) return 1;
    SendMessageA(button, BM_SETSTATE, TRUE, 0);
    return 0;
  }
  if (strcmp(command, "post") == 0 && argc == 4) {
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : 1;
  }
  if (strcmp(command, "select") == 0 && argc == 5) {
    HWND list = GetDlgItem(window, id);
    if (list == NULL) return 1;
    return SendMessageA(list, LB_SETCURSEL, atoi(argv[4]), 0) == LB_ERR ? 1 : 0;
  }
  return Usage();
}
