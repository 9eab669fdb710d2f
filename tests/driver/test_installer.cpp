// Installation.exe end to end: the start-up probe and the two modes, the
// window's buttons and pictures, install (copies, settings, registration
// with the stand-in Conduit Manager, failures), update, uninstall and the
// keys that must not close the window.
//
// The installation medium of a test is a folder of its own holding small
// stand-in programs and a copy of the installer, which runs from there with
// the test folder (not the medium) as its current directory: the folder it
// is in is the source of every copy. It finds CONDMGR.dll in the driver's
// folder, which ResetState() records as Palm Desktop's.
#include "driver.h"

#include <winioctl.h>
#include <stdio.h>
#include <string.h>

namespace {

const char kInstallerCaption[] = "Installation";
const char kInstaller[] = "インストーラ";
const char kInstallDone[] = "インストール";
const char kInstalledText[] =
    "プラグインをインストールしました。\nＨｏｔＳｙｎｃＭａｎａｇｅｒを再起動してください。";
const char kRemovedText[] =
    "プラグインを削除しました。\nＨｏｔＳｙｎｃＭａｎａｇｅｒを再起動してください。";
const char kFoldersStayText[] = "ディレクトリは削除しません。\n不要な場合は削除してください。";
const char kAskUninstallText[] = "アンインストールしてもよろしいですね？";
const char kNoInstallFolderText[] =
    "インストール先のディレクトリが登録されていません。\n何も変更しませんでした。";

enum { kChooseFolder = 100, kInstallButton = 101, kExitButton = 102, kUpdateButton = 103 };
enum { kFolderField = 300 };

// ---- The medium ------------------------------------------------------------

struct MediumFile {
  const char* name;
  const char* content;   // small stand-in bytes; NULL: a copy of the real program
};

// What an installation medium holds: programs, the conduit, and files the
// installer must leave alone.
const MediumFile kMedium[] = {
  {"Installation.exe", NULL},
  {"RyvoWin.exe", "MZ\x90 RyvoWin stand-in \x01\x02\xff"},
  {"ryvo.exe", "MZ\x90 ryvo tool stand-in \x03\x04\xfe"},
  {"RyvoPC.dll", "MZ\x90 conduit stand-in \x05\x06\xfd"},
  {"readme.txt", "not a program"},
  {"CONDMGR.lib", "not a library either"},
};
const char* const kCopied[] = {"RyvoWin.exe", "ryvo.exe", "RyvoPC.dll"};
const char* const kNotCopied[] = {"Installation.exe", "readme.txt", "CONDMGR.lib"};

void WriteText(const char* path, const char* text) {
  WriteWholeFile(path, text, (int)strlen(text));
}

// TestFolder for a nested folder ("old\\RyvoWin\\tmp"): makes every level.
const char* Folder(const char* sub) {
  char part[MAX_PATH];
  snprintf(part, sizeof part, "%s", sub);
  for (char* p = part; *p; p++) {
    if (*p != '\\') continue;
    *p = 0;
    TestFolder(part);
    *p = '\\';
  }
  return TestFolder(sub);
}

// TestFile in a nested folder.
const char* File(const char* sub, const char* name) {
  Folder(sub);
  return TestFile(sub, name);
}

// Fills folder `sub` of the test folder with `files`; returns its path.
const char* MakeMedium(const char* sub, const MediumFile* files, int count) {
  static char folder[MAX_PATH];
  snprintf(folder, sizeof folder, "%s", TestFolder(sub));
  for (int i = 0; i < count; i++) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", folder, files[i].name);
    if (files[i].content)
      WriteText(path, files[i].content);
    else
      CopyFileA(ProgramPath(files[i].name), path, FALSE);
  }
  return folder;
}

const char* StandardMedium(void) {
  return MakeMedium("medium", kMedium, sizeof kMedium / sizeof kMedium[0]);
}

// ---- The installer ---------------------------------------------------------

// The medium's installer: a copy of the driver's when the medium has none.
const char* MediumInstaller(const char* medium) {
  static char exe[MAX_PATH];
  snprintf(exe, sizeof exe, "%s\\Installation.exe", medium);
  if (!FileExists(exe)) CopyFileA(ProgramPath("Installation.exe"), exe, FALSE);
  return exe;
}

// Starts the medium's installer with the test folder as its current
// directory and waits for its window.
Program* StartInstaller(const char* medium, HWND* window) {
  Program* installer = StartProgram(MediumInstaller(medium), TestFolder(""));
  *window = installer ? WaitForWindow(installer, kInstallerCaption, kWait) : NULL;
  return installer;
}

void SetField(HWND window, const char* text) {
  DWORD_PTR result;
  SendMessageTimeoutA(GetDlgItem(window, kFolderField), WM_SETTEXT, 0, (LPARAM)text,
                      SMTO_ABORTIFHUNG, kWait, &result);
}

const char* Field(HWND window) {
  static char text[1024];
  ControlText(window, kFolderField, text, sizeof text);
  return text;
}

// The exit button is the only way out, and it ends the program with 0.
void ExitWithButton(Program* installer, HWND window) {
  CHECK(ClickButton(window, kExitButton));
  CHECK_INT(WaitForExit(installer, kWait), 0);
}

int HasButton(HWND window, int id) {
  HWND button = GetDlgItem(window, id);
  return button != NULL && IsWindowVisible(button);
}

// ---- Settings and registration --------------------------------------------

struct Setting {
  const char* name;
  const char* text;
};

void CheckSettings(const Setting* expected, int count, const char* file, int line) {
  for (int i = 0; i < count; i++) {
    char text[1024];
    if (RegistryRead(kRyvoKey, expected[i].name, text, sizeof text) != 0) {
      CheckFailed(file, line, "setting %s is missing", expected[i].name);
      continue;
    }
    CheckStr(file, line, expected[i].name, text, expected[i].text);
  }
}
#define CHECK_SETTINGS(expected) \
  CheckSettings(expected, sizeof expected / sizeof expected[0], __FILE__, __LINE__)

// The settings and registration an earlier installation in `installFolder`
// left behind: the installer then starts in registered mode.
void PretendInstalled(const char* installFolder, const char* winVersion,
                      const char* pcVersion) {
  char path[MAX_PATH];
  RegistryWrite(kRyvoKey, "RyvoWin", winVersion);
  RegistryWrite(kRyvoKey, "RyvoPC", pcVersion);
  RegistryWrite(kRyvoKey, "RyvoWinInst", installFolder);
  RegistryWrite(kRyvoKey, "RyvoWinDir", "");
  RegistryWrite(kRyvoKey, "SyncDir", "ToPC");
  snprintf(path, sizeof path, "%s\\tmp", installFolder);
  RegistryWrite(kRyvoKey, "RyvoWinTmp", path);
  snprintf(path, sizeof path, "%s\\RyvoPC.dll", installFolder);
  StandInRegisterRyvo(path);
}

// An earlier installation in old\RyvoWin of the test folder, registered
// with these versions; its folder, in a buffer of its own.
const char* OldInstallation(const char* winVersion, const char* pcVersion) {
  static char folder[MAX_PATH];
  snprintf(folder, sizeof folder, "%s", Folder("old\\RyvoWin"));
  PretendInstalled(folder, winVersion, pcVersion);
  return folder;
}

int RyvoRegistered(void) {
  char key[128];
  snprintf(key, sizeof key, "%s\\Creators\\Ryvo", kStandInKey);
  return RegistryKeyExists(key);
}

// The part of the stand-in's call log after the start-up probe's two
// queries ("88()=0" and "47(Ryvo)=...").
const char* CallsAfterProbe(void) {
  const char* log = StandInCallLog();
  for (int skip = 0; skip < 2 && *log; skip++) {
    const char* end = strchr(log, '\n');
    log = end ? end + 1 : log + strlen(log);
  }
  return log;
}

// ---- A drive letter for a folder ------------------------------------------

// Wine's mount manager defines a drive letter for a host folder (what
// winecfg does); the folder's host path comes from Wine's kernel32.
struct WineUnixDrive {
  ULONG size, type, fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset, deviceOffset, labelOffset;
};
const DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

int DefineDrive(char letter, const char* hostPath) {
  char buffer[1024];
  memset(buffer, 0, sizeof buffer);
  WineUnixDrive* drive = (WineUnixDrive*)buffer;
  size_t length = hostPath ? strlen(hostPath) + 1 : 0;
  if (sizeof *drive + length > sizeof buffer) return 0;
  drive->size = (ULONG)(sizeof *drive + length);
  drive->type = DRIVE_FIXED;
  drive->letter = (WCHAR)letter;
  if (hostPath) {
    memcpy(buffer + sizeof *drive, hostPath, length);
    drive->mountPointOffset = sizeof *drive;
  }
  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, 0);
  if (manager == INVALID_HANDLE_VALUE) return 0;
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer, drive->size, NULL, 0,
                            &returned, NULL);
  CloseHandle(manager);
  return ok ? 1 : 0;
}

// Drive R: shows a folder for the life of the object.
struct MappedDrive {
  int mapped;
  explicit MappedDrive(const char* folder) : mapped(0) {
    typedef char*(CDECL * HostName)(LPCWSTR);
    HostName hostName = (HostName)(void*)GetProcAddress(GetModuleHandleA("kernel32"),
                                                        "wine_get_unix_file_name");
    WCHAR wide[MAX_PATH];
    if (hostName == NULL || !MultiByteToWideChar(932, 0, folder, -1, wide, MAX_PATH)) return;
    char* host = hostName(wide);
    if (host == NULL) return;
    mapped = DefineDrive('r', host);
    HeapFree(GetProcessHeap(), 0, host);
  }
  ~MappedDrive() {
    if (mapped) DefineDrive('r', NULL);
  }
};

// ---- Steps shared by several tests ------------------------------------------

// Installs from the standard medium into `chosen` and answers the closing
// message; 1 when the installer reported success.
int InstallInto(Program* installer, HWND window, const char* chosen) {
  SetField(window, chosen);
  CHECK(ClickButton(window, kInstallButton));
  return EXPECT_MESSAGE_BOX(installer, kInstallDone, kInstalledText, IDOK);
}

// Presses the uninstall button and agrees to the question.
void StartUninstall(Program* installer, HWND window) {
  CHECK(ClickButton(window, kInstallButton));
  EXPECT_MESSAGE_BOX(installer, "RyvoWin", kAskUninstallText, IDOK);
}

}  // namespace

// ---- Start-up ---------------------------------------------------------------

DRIVER_TEST(installer_palm_desktop_absent) {
  ResetState();
  StandInSetDesktopAbsent();
  Program* installer = StartProgram(MediumInstaller(StandardMedium()), TestFolder(""));
  REQUIRE(installer != NULL);
  EXPECT_MESSAGE_BOX(installer, "DeBug", "No Installed PalmDesktop!!", IDOK);
  CHECK_INT(WaitForExit(installer, kWait), -1);
  CHECK(FindProgramWindow(installer, kInstallerCaption) == NULL);
  CHECK_STR(StandInCallLog(), "88()=-1001\n");
}

DRIVER_TEST(installer_conduit_manager_nowhere) {
  // No CONDMGR.dll beside the installer, none recorded by Palm Desktop and
  // none on PATH (the one in the current directory does not count): the
  // message of a missing Palm Desktop, then exit -1.
  ResetState();
  SetPalmDesktopRecord(NULL);
  Program* installer = StartProgram(MediumInstaller(StandardMedium()), DriverFolder());
  REQUIRE(installer != NULL);
  EXPECT_MESSAGE_BOX(installer, "DeBug", "No Installed PalmDesktop!!", IDOK);
  CHECK_INT(WaitForExit(installer, kWait), -1);
  CHECK(FindProgramWindow(installer, kInstallerCaption) == NULL);
  CHECK_STR(StandInCallLog(), "");
}

DRIVER_TEST(installer_conduit_manager_from_palm_desktop_record) {
  // Started from the medium, which holds no CONDMGR.dll: the one in the
  // folder Palm Desktop records is used.
  ResetState();
  Program* installer = StartProgram(MediumInstaller(StandardMedium()), TestFolder(""));
  REQUIRE(installer != NULL);
  HWND window = WaitForWindow(installer, kInstallerCaption, kWait);
  REQUIRE(window != NULL);
  CHECK_STR(StandInCallLog(), "88()=0\n47(Ryvo)=-1003\n");
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_unregistered_start) {
  // Unregistered: no update button, an empty field, the install picture,
  // and the search path extended before the conduit query.
  ResetState();
  StandInSetDesktopFolder("C:\\Palm Desktop");
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  CHECK(HasButton(window, kChooseFolder));
  CHECK(HasButton(window, kInstallButton));
  CHECK(HasButton(window, kExitButton));
  CHECK(GetDlgItem(window, kUpdateButton) == NULL);
  CHECK_STR(Field(window), "");
  char text[256];
  ControlText(window, 301, text, sizeof text);
  CHECK_STR(text, "インストールするディレクトリを設定し、");
  ControlText(window, 302, text, sizeof text);
  CHECK_STR(text, "インストールボタンを押してください。");
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kChooseFolder, 202);
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 204);
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kExitButton, 208);
  const char* path = StandInPathAtConduitQuery();
  const char* tail = ";C:\\Palm Desktop";
  CHECK(strlen(path) > strlen(tail) && strcmp(path + strlen(path) - strlen(tail), tail) == 0);
  CHECK_STR(StandInCallLog(), "88()=0\n47(Ryvo)=-1003\n");
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_registered_start) {
  // Registered: four buttons, the uninstall picture, and the folder button
  // refused without opening the browser.
  ResetState();
  OldInstallation("Ver. 0.80", "Ver. 0.80");
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  CHECK(HasButton(window, kChooseFolder));
  CHECK(HasButton(window, kInstallButton));
  CHECK(HasButton(window, kUpdateButton));
  CHECK(HasButton(window, kExitButton));
  CHECK_STR(Field(window), "");
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 206);
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kUpdateButton, 210);
  CHECK(ClickButton(window, kChooseFolder));
  EXPECT_MESSAGE_BOX(installer, "インストーラエラー", "アンインストールしかできません。", IDOK);
  CHECK_INT(CountWindows(installer), 1);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_keys_do_not_close) {
  // Enter, Escape and a close request are ignored; only the exit button
  // ends the program.
  ResetState();
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  HWND field = GetDlgItem(window, kFolderField);
  PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(field, WM_KEYDOWN, VK_ESCAPE, 0);
  SendCommand(window, IDOK);
  SendCommand(window, IDCANCEL);
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageA(window, WM_CLOSE, 0, 0);
  WaitIdle(window);
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  CHECK(IsRunning(installer));
  CHECK(IsWindow(window) && IsWindowVisible(window));
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_from_the_keyboard_alone) {
  // Tab to the field (the folder is put in as text), Tab to the install
  // button, Enter; Enter answers the message; Tab to the exit button,
  // Enter ends it.
  ResetState();
  char chosen[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  REQUIRE(TabTo(window, kFolderField, 8));
  SetField(window, chosen);
  REQUIRE(TabTo(window, kInstallButton, 8));
  PostKey(FocusedWindow(window), VK_RETURN);
  HWND box = WaitForMessageBox(installer, kInstallDone, kInstalledText, kWait);
  REQUIRE(box != NULL);
  PostKey(FocusedWindow(box) ? FocusedWindow(box) : box, VK_RETURN);
  for (int i = 0; i < 150 && IsWindow(box); i++) Sleep(20);
  CHECK(!IsWindow(box));
  CHECK(RyvoRegistered());
  REQUIRE(TabTo(window, kExitButton, 8));
  PostKey(FocusedWindow(window), VK_RETURN);
  CHECK_INT(WaitForExit(installer, kWait), 0);
}

// ---- Install ----------------------------------------------------------------

DRIVER_TEST(installer_install_fresh_folder) {
  ResetState();
  const char* medium = StandardMedium();
  char chosen[MAX_PATH], installFolder[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  snprintf(installFolder, sizeof installFolder, "%s\\RyvoWin", chosen);
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, chosen));

  // The programs and the conduit, byte for byte; nothing else.
  for (const char* name : kCopied) {
    char from[MAX_PATH], to[MAX_PATH];
    snprintf(from, sizeof from, "%s\\%s", medium, name);
    snprintf(to, sizeof to, "%s\\%s", installFolder, name);
    if (!SameFileContent(from, to)) CheckFailed(__FILE__, __LINE__, "%s not copied", name);
  }
  for (const char* name : kNotCopied) {
    char to[MAX_PATH];
    snprintf(to, sizeof to, "%s\\%s", installFolder, name);
    if (FileExists(to)) CheckFailed(__FILE__, __LINE__, "%s copied", name);
  }
  char workFolder[MAX_PATH], conduit[MAX_PATH];
  snprintf(workFolder, sizeof workFolder, "%s\\tmp", installFolder);
  snprintf(conduit, sizeof conduit, "%s\\RyvoPC.dll", installFolder);
  CHECK(GetFileAttributesA(workFolder) != INVALID_FILE_ATTRIBUTES &&
        (GetFileAttributesA(workFolder) & FILE_ATTRIBUTE_DIRECTORY));

  const Setting settings[] = {
    {"RyvoWin", "Ver. 0.80"}, {"RyvoPC", "Ver. 0.80"}, {"RyvoWinInst", installFolder},
    {"RyvoWinDir", ""},       {"SyncDir", "ToPC"},     {"RyvoWinTmp", workFolder},
  };
  CHECK_SETTINGS(settings);

  // The five registration calls, in order, with their arguments.
  char calls[1024];
  snprintf(calls, sizeof calls,
           "67(Ryvo,1)=0\n46(Ryvo,%s)=0\n48(Ryvo,backup)=0\n63(Ryvo,RyvoDB.PDB)=0\n"
           "40(Ryvo,2)=0\n", conduit);
  CHECK_STR(CallsAfterProbe(), calls);

  // Registered mode at once: the field shows the install folder, row 2
  // shows the uninstall picture and asks before uninstalling; the update
  // button stays absent until the next start.
  CHECK_STR(Field(window), installFolder);
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 206);
  CHECK(GetDlgItem(window, kUpdateButton) == NULL);
  CHECK(ClickButton(window, kInstallButton));
  EXPECT_MESSAGE_BOX(installer, "RyvoWin", kAskUninstallText, IDCANCEL);
  CHECK(FileExists(conduit));
  CHECK(RyvoRegistered());
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_source_is_its_own_folder) {
  // Started from another folder that holds programs of its own: the copies
  // come from the installer's folder, never from the current directory.
  ResetState();
  const char* medium = StandardMedium();
  const char* elsewhere = TestFolder("elsewhere");
  WriteText(TestFile("elsewhere", "RyvoWin.exe"), "MZ\x90 not from the medium");
  WriteText(TestFile("elsewhere", "extra.dll"), "MZ\x90 not from the medium");
  char chosen[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  Program* installer = StartProgram(MediumInstaller(medium), elsewhere);
  REQUIRE(installer != NULL);
  HWND window = WaitForWindow(installer, kInstallerCaption, kWait);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, chosen));
  for (const char* name : kCopied) {
    char to[MAX_PATH];
    snprintf(to, sizeof to, "%s\\RyvoWin\\%s", chosen, name);
    if (!SameFileContent(TestFile("medium", name), to))
      CheckFailed(__FILE__, __LINE__, "%s is not the medium's", name);
  }
  CHECK(!FileExists(File("target\\RyvoWin", "extra.dll")));
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_source_without_ryvowin_writes_nothing) {
  // A medium without RyvoWin.exe: install and update name the missing file
  // and write no setting, folder or registration.
  ResetState();
  const MediumFile files[] = {{"RyvoPC.dll", "MZ\x90 conduit"}, {"ryvo.exe", "MZ\x90 tool"}};
  const char* medium = MakeMedium("medium", files, 2);
  char missing[MAX_PATH + 64];
  snprintf(missing, sizeof missing, "インストール元のファイルがありません。\n%s\\RyvoWin.exe",
           medium);
  char chosen[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  SetField(window, chosen);
  CHECK(ClickButton(window, kInstallButton));
  EXPECT_MESSAGE_BOX(installer, kInstaller, missing, IDOK);
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  CHECK(!RegistryKeyExists(kRyvoKey));
  CHECK(!FileExists(File("target", "RyvoWin")));
  CHECK_STR(CallsAfterProbe(), "");
  CHECK(!RyvoRegistered());
  ExitWithButton(installer, window);

  // Update of an older installation: asked, then refused the same way.
  ResetState();
  medium = MakeMedium("medium", files, 2);
  snprintf(missing, sizeof missing, "インストール元のファイルがありません。\n%s\\RyvoWin.exe",
           medium);
  OldInstallation("V1.00", "V1.00");
  WriteText(File("old\\RyvoWin", "RyvoWin.exe"), "old program");
  installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  CHECK(ClickButton(window, kUpdateButton));
  EXPECT_MESSAGE_BOX(installer, "RyvoWin", "アップデートします。よろしいですね？", IDOK);
  EXPECT_MESSAGE_BOX(installer, kInstaller, missing, IDOK);
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  CHECK(!FileExists(File("old\\RyvoWin", "RyvoPC.dll")));
  const Setting before[] = {{"RyvoWin", "V1.00"}, {"RyvoPC", "V1.00"}};
  CHECK_SETTINGS(before);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_copies_other_cased_installer) {
  // Only the name "Installation.exe" exactly is passed over.
  ResetState();
  const MediumFile files[] = {
    {"INSTALLATION.EXE", NULL},
    {"RyvoWin.exe", "MZ\x90 RyvoWin"},
    {"RyvoPC.dll", "MZ\x90 conduit"},
  };
  const char* medium = MakeMedium("medium", files, 3);
  char chosen[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, chosen));
  char from[MAX_PATH], to[MAX_PATH];
  snprintf(from, sizeof from, "%s\\INSTALLATION.EXE", medium);
  snprintf(to, sizeof to, "%s\\RyvoWin\\INSTALLATION.EXE", chosen);
  CHECK(SameFileContent(from, to));
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_without_dll_registers_conduit_path) {
  ResetState();
  const MediumFile files[] = {{"RyvoWin.exe", "MZ\x90 RyvoWin"}};
  const char* medium = MakeMedium("medium", files, 1);
  char chosen[MAX_PATH], calls[1024];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, chosen));
  snprintf(calls, sizeof calls, "46(Ryvo,%s\\RyvoWin\\RyvoPC.dll)=0\n", chosen);
  CHECK(strstr(StandInCallLog(), calls) != NULL);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_into_existing_installation) {
  // An existing RyvoWin folder with tmp is accepted; same-named files are
  // replaced and the contents of tmp stay.
  ResetState();
  const char* medium = StandardMedium();
  char chosen[MAX_PATH], installFolder[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  snprintf(installFolder, sizeof installFolder, "%s", Folder("target\\RyvoWin"));
  Folder("target\\RyvoWin\\tmp");
  WriteText(File("target\\RyvoWin", "RyvoWin.exe"), "old program");
  WriteText(File("target\\RyvoWin\\tmp", "Ryvo.dmp"), "dump");
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, chosen));
  CHECK(SameFileContent(TestFile("medium", "RyvoWin.exe"),
                        File("target\\RyvoWin", "RyvoWin.exe")));
  unsigned char dump[16];
  CHECK_BYTES(dump, ReadWholeFile(File("target\\RyvoWin\\tmp", "Ryvo.dmp"), dump, 16),
              "dump", 4);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_drive_root_doubles_backslash) {
  // A drive root keeps its backslash, so "R:\" gives "R:\\RyvoWin": that
  // text is stored and used as it is.
  ResetState();
  const char* medium = StandardMedium();
  char driveFolder[MAX_PATH];
  snprintf(driveFolder, sizeof driveFolder, "%s", TestFolder("drive"));
  MappedDrive drive(driveFolder);
  REQUIRE(drive.mapped);
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, "R:\\"));
  const Setting settings[] = {
    {"RyvoWinInst", "R:\\\\RyvoWin"},
    {"RyvoWinTmp", "R:\\\\RyvoWin\\tmp"},
  };
  CHECK_SETTINGS(settings);
  CHECK_STR(Field(window), "R:\\\\RyvoWin");
  CHECK(strstr(StandInCallLog(), "46(Ryvo,R:\\\\RyvoWin\\RyvoPC.dll)=0\n") != NULL);
  CHECK(SameFileContent(TestFile("medium", "RyvoWin.exe"),
                        File("drive\\RyvoWin", "RyvoWin.exe")));
  CHECK(GetFileAttributesA(File("drive\\RyvoWin", "tmp")) != INVALID_FILE_ATTRIBUTES);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_relative_folder) {
  // A folder typed relative to the medium is recorded as the absolute
  // folder it names, never as a text that depends on a current directory.
  ResetState();
  char medium[MAX_PATH], installFolder[MAX_PATH];
  snprintf(medium, sizeof medium, "%s", StandardMedium());
  Folder("medium\\sub");
  snprintf(installFolder, sizeof installFolder, "%s\\sub\\RyvoWin", medium);
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, "sub"));
  const Setting settings[] = {{"RyvoWinInst", installFolder}};
  CHECK_SETTINGS(settings);
  CHECK_STR(Field(window), installFolder);
  CHECK(SameFileContent(TestFile("medium", "RyvoWin.exe"), File("medium\\sub\\RyvoWin", "RyvoWin.exe")));
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_refusals) {
  // Each refused folder shows its message and writes, copies and registers
  // nothing; the window stays unregistered.
  struct Case {
    const char* field;     // "" empty; "*" a path too long for the buffers
    const char* message;
  };
  const Case cases[] = {
    {"", "インストール先を指定してください。"},
    {"C:\\ryvotest\\no such folder", "インストール先が間違っています。"},
    {"*", "インストール先のパスが長すぎます。"},
  };
  ResetState();
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  for (const Case& c : cases) {
    char field[400];
    if (strcmp(c.field, "*") == 0) {
      // Exists, so that only its length can refuse it.
      snprintf(field, sizeof field, "%s\\", TestFolder(""));
      size_t n = strlen(field);
      memset(field + n, 'a', 250 - n);
      field[250] = 0;
      CreateDirectoryA(field, NULL);
    } else {
      snprintf(field, sizeof field, "%s", c.field);
    }
    Note("field \"%s\"", field);
    SetField(window, field);
    CHECK(ClickButton(window, kInstallButton));
    EXPECT_MESSAGE_BOX(installer, kInstaller, c.message, IDOK);
    CHECK(!RegistryKeyExists(kRyvoKey));
    CHECK(!RyvoRegistered());
  }
  CHECK_STR(CallsAfterProbe(), "");
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_registration_fails) {
  // CmSetCreatorFile fails: its message, its code, the earlier calls stay
  // in effect and the window stays unregistered (a second press installs
  // again and now meets the registration left behind).
  ResetState();
  StandInFailCall(63, -1006);
  char chosen[MAX_PATH], conduit[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  snprintf(conduit, sizeof conduit, "%s\\RyvoWin\\RyvoPC.dll", chosen);
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  SetField(window, chosen);
  CHECK(ClickButton(window, kInstallButton));
  EXPECT_MESSAGE_BOX(installer, kInstaller, "CmSetCreatorFile Error!!", IDOK);
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  char calls[1024];
  snprintf(calls, sizeof calls,
           "67(Ryvo,1)=0\n46(Ryvo,%s)=0\n48(Ryvo,backup)=0\n63(Ryvo,RyvoDB.PDB)=-1006\n",
           conduit);
  CHECK_STR(CallsAfterProbe(), calls);
  CHECK(RyvoRegistered());
  CHECK(FileExists(conduit));
  char text[64];
  CHECK_INT(RegistryRead(kRyvoKey, "SyncDir", text, sizeof text), 0);
  CHECK_STR(Field(window), chosen);
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 204);
  CHECK(ClickButton(window, kInstallButton));
  EXPECT_MESSAGE_BOX(installer, kInstaller, "CmInstallCreator Error!!", IDOK);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_install_then_ryvowin_finds_settings) {
  // RyvoWin started from the install folder reads the working folder the
  // installer recorded.
  ResetState();
  const MediumFile files[] = {{"RyvoWin.exe", NULL}, {"RyvoPC.dll", "MZ\x90 conduit"}};
  const char* medium = MakeMedium("medium", files, 2);
  char chosen[MAX_PATH], program[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, chosen));
  ExitWithButton(installer, window);

  static Dump dump;
  DumpStart(&dump, 32, 0xD2, "PALM");
  DumpAddStock(&dump, "7203", 4412, 3, 1);
  DumpAddStock(&dump, "ソニー", 4412, 3, 2);
  REQUIRE(DumpWrite(&dump, File("target\\RyvoWin\\tmp", "Ryvo.dmp")) == 0);
  snprintf(program, sizeof program, "%s\\RyvoWin\\RyvoWin.exe", chosen);
  // CONDMGR.dll is not in the install folder: RyvoWin finds it in the
  // folder recorded as Palm Desktop's.
  Program* app = StartProgram(program, TestFolder(""));
  HWND main = WaitForWindow(app, kMainCaption, kWait);
  REQUIRE(main != NULL);
  CHECK_LIST(main, 150, "7203|ソニー");
  CHECK(FileExists(File("target\\RyvoWin\\tmp", "BeginRyvo.dmp")));
  CloseRyvoWin(app, main);
}

// ---- Update -------------------------------------------------------------------

DRIVER_TEST(installer_update_cases) {
  // Only "V1.00" in either version text leads to the question; OK copies
  // the programs again and records "Ver. 0.80" twice without a closing
  // message; Cancel and "already up to date" change nothing.
  struct Case {
    const char* winVersion;
    const char* pcVersion;
    int asked;      // 1: the question comes
    int answer;     // IDOK or IDCANCEL
  };
  const Case cases[] = {
    {"Ver. 0.80", "Ver. 0.80", 0, 0},
    {"V1.00 ", "v1.00", 0, 0},
    {"V1.00", "Ver. 0.70", 1, IDCANCEL},
    {"V1.00", "Ver. 0.70", 1, IDOK},
    {"Ver. 0.70", "V1.00", 1, IDOK},
  };
  int index = 0;
  for (const Case& c : cases) {
    Note("case %d: RyvoWin \"%s\", RyvoPC \"%s\"", index++, c.winVersion, c.pcVersion);
    ResetState();
    const char* medium = StandardMedium();
    OldInstallation(c.winVersion, c.pcVersion);
    WriteText(File("old\\RyvoWin", "RyvoWin.exe"), "old program");
    HWND window;
    Program* installer = StartInstaller(medium, &window);
    REQUIRE(window != NULL);
    REQUIRE(HasButton(window, kUpdateButton));
    CHECK(ClickButton(window, kUpdateButton));
    int updated = 0;
    if (!c.asked) {
      EXPECT_MESSAGE_BOX(installer, "DeBug", "アップデートされています。", IDOK);
    } else {
      EXPECT_MESSAGE_BOX(installer, "RyvoWin", "アップデートします。よろしいですね？", c.answer);
      updated = c.answer == IDOK;
    }
    CHECK_NO_MESSAGE_BOX(installer, kQuiet);
    CHECK_INT(SameFileContent(TestFile("medium", "RyvoWin.exe"),
                              File("old\\RyvoWin", "RyvoWin.exe")), updated);
    CHECK_INT(FileExists(File("old\\RyvoWin", "RyvoPC.dll")), updated);
    CHECK(!FileExists(File("old\\RyvoWin", "Installation.exe")));
    const Setting before[] = {{"RyvoWin", c.winVersion}, {"RyvoPC", c.pcVersion}};
    const Setting after[] = {{"RyvoWin", "Ver. 0.80"}, {"RyvoPC", "Ver. 0.80"}};
    if (updated) CHECK_SETTINGS(after);
    else CHECK_SETTINGS(before);
    // The registration and the mode are not update's business.
    CHECK_STR(CallsAfterProbe(), "");
    EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 206);
    ExitWithButton(installer, window);
  }
}

DRIVER_TEST(installer_update_after_fresh_install_and_restart) {
  // A fresh install records "Ver. 0.80": after a restart the update
  // button is there and finds nothing to do.
  ResetState();
  const char* medium = StandardMedium();
  char chosen[MAX_PATH];
  snprintf(chosen, sizeof chosen, "%s", TestFolder("target"));
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  REQUIRE(InstallInto(installer, window, chosen));
  ExitWithButton(installer, window);
  installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  CHECK(ClickButton(window, kUpdateButton));
  EXPECT_MESSAGE_BOX(installer, "DeBug", "アップデートされています。", IDOK);
  ExitWithButton(installer, window);
}

// ---- Uninstall -----------------------------------------------------------------

DRIVER_TEST(installer_uninstall_keeps_tmp) {
  ResetState();
  const char* installFolder = OldInstallation("Ver. 0.80", "Ver. 0.80");
  WriteText(File("old\\RyvoWin", "RyvoWin.exe"), "program");
  WriteText(File("old\\RyvoWin", "RyvoPC.dll"), "conduit");
  WriteText(File("old\\RyvoWin", "notes.txt"), "anything in the folder");
  WriteText(File("old\\RyvoWin\\tmp", "Ryvo.dmp"), "dump");
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  StartUninstall(installer, window);
  EXPECT_MESSAGE_BOX(installer, kInstaller, kFoldersStayText, IDOK);
  EXPECT_MESSAGE_BOX(installer, kInstallDone, kRemovedText, IDOK);
  CHECK(!FileExists(File("old\\RyvoWin", "RyvoWin.exe")));
  CHECK(!FileExists(File("old\\RyvoWin", "RyvoPC.dll")));
  CHECK(!FileExists(File("old\\RyvoWin", "notes.txt")));
  CHECK(FileExists(File("old\\RyvoWin\\tmp", "Ryvo.dmp")));
  CHECK(GetFileAttributesA(installFolder) != INVALID_FILE_ATTRIBUTES);
  CHECK(!RegistryKeyExists(kRyvoKey));
  CHECK(!RyvoRegistered());
  CHECK_STR(CallsAfterProbe(), "65(Ryvo)=1\n");
  // Unregistered now: the install picture, the update button stays, the
  // field is unchanged.
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 204);
  CHECK(HasButton(window, kUpdateButton));
  CHECK_STR(Field(window), "");
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_uninstall_cancelled) {
  ResetState();
  OldInstallation("Ver. 0.80", "Ver. 0.80");
  WriteText(File("old\\RyvoWin", "RyvoWin.exe"), "program");
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  CHECK(ClickButton(window, kInstallButton));
  EXPECT_MESSAGE_BOX(installer, "RyvoWin", kAskUninstallText, IDCANCEL);
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  CHECK(FileExists(File("old\\RyvoWin", "RyvoWin.exe")));
  CHECK(RegistryKeyExists(kRyvoKey));
  CHECK(RyvoRegistered());
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_uninstall_stops_on_subfolder) {
  // Another folder than tmp cannot be deleted as a file: uninstall names
  // it and stops before the settings and the registration.
  ResetState();
  OldInstallation("Ver. 0.80", "Ver. 0.80");
  WriteText(File("old\\RyvoWin\\data", "kept.csv"), "csv");
  WriteText(File("old\\RyvoWin\\tmp", "Ryvo.dmp"), "dump");
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  StartUninstall(installer, window);
  EXPECT_MESSAGE_BOX(installer, kInstaller, "dataを削除できません。", IDOK);
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  CHECK(FileExists(File("old\\RyvoWin\\data", "kept.csv")));
  CHECK(RegistryKeyExists(kRyvoKey));
  CHECK(RyvoRegistered());
  CHECK_STR(CallsAfterProbe(), "");
  EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 206);
  ExitWithButton(installer, window);
}

DRIVER_TEST(installer_uninstall_removal_call_fails) {
  // The removal call succeeds only with 1: 0 and 2 are failures, reported
  // in a box; files and settings are gone, the mode stays registered.
  const int results[] = {0, 2};
  for (int result : results) {
    Note("removal call returns %d", result);
    ResetState();
    StandInFailCall(65, result);
    OldInstallation("Ver. 0.80", "Ver. 0.80");
    WriteText(File("old\\RyvoWin", "RyvoWin.exe"), "program");
    HWND window;
    Program* installer = StartInstaller(StandardMedium(), &window);
    REQUIRE(window != NULL);
    StartUninstall(installer, window);
    EXPECT_MESSAGE_BOX(installer, kInstaller, kFoldersStayText, IDOK);
    EXPECT_MESSAGE_BOX(installer, kInstaller, "CmRemoveConduitByCreatorID Error!!", IDOK);
    CHECK_NO_MESSAGE_BOX(installer, kQuiet);
    CHECK(!FileExists(File("old\\RyvoWin", "RyvoWin.exe")));
    CHECK(!RegistryKeyExists(kRyvoKey));
    EXPECT_BUTTON_PICTURE("Installation.exe", window, kInstallButton, 206);
    CHECK(ClickButton(window, kInstallButton));
    EXPECT_MESSAGE_BOX(installer, "RyvoWin", kAskUninstallText, IDCANCEL);
    ExitWithButton(installer, window);
  }
}

DRIVER_TEST(installer_without_install_folder_touches_nothing) {
  // Registered, but RyvoWinInst is missing: uninstall and update must not
  // take the empty text for a folder (uninstall would list "\*.*", the
  // root of the current drive).
  ResetState();
  OldInstallation("V1.00", "V1.00");
  HKEY key;
  REQUIRE(RegOpenKeyExA(HKEY_CURRENT_USER, kRyvoKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS);
  RegDeleteValueA(key, "RyvoWinInst");
  RegCloseKey(key);
  const char* medium = StandardMedium();
  // What would be at risk: the files at the root of the medium's drive.
  const char marker[] = "C:\\ryvotest_marker.txt";
  WriteText(marker, "must stay");
  WriteText(TestFile("", "marker.txt"), "must stay");
  HWND window;
  Program* installer = StartInstaller(medium, &window);
  REQUIRE(window != NULL);
  StartUninstall(installer, window);
  EXPECT_MESSAGE_BOX(installer, kInstaller, kNoInstallFolderText, IDOK);
  CHECK(ClickButton(window, kUpdateButton));
  EXPECT_MESSAGE_BOX(installer, kInstaller, kNoInstallFolderText, IDOK);
  CHECK_NO_MESSAGE_BOX(installer, kQuiet);
  CHECK(FileExists(marker));
  CHECK(FileExists(TestFile("", "marker.txt")));
  CHECK(RegistryKeyExists(kRyvoKey));
  CHECK(RyvoRegistered());
  CHECK_STR(CallsAfterProbe(), "");
  ExitWithButton(installer, window);
  DeleteOneFile(marker);
}

DRIVER_TEST(installer_uninstall_listing_without_dot_entries) {
  // A drive root lists no "." and "..": every one of its files is deleted,
  // none is passed over as if it were one of them.
  ResetState();
  char driveFolder[MAX_PATH];
  snprintf(driveFolder, sizeof driveFolder, "%s", TestFolder("drive"));
  const char* const names[] = {"a.exe", "b.dll", "c.txt"};
  for (const char* name : names) WriteText(TestFile("drive", name), name);
  WriteText(File("drive\\tmp", "Ryvo.dmp"), "dump");
  MappedDrive drive(driveFolder);
  REQUIRE(drive.mapped);
  PretendInstalled("R:", "Ver. 0.80", "Ver. 0.80");
  HWND window;
  Program* installer = StartInstaller(StandardMedium(), &window);
  REQUIRE(window != NULL);
  StartUninstall(installer, window);
  EXPECT_MESSAGE_BOX(installer, kInstaller, kFoldersStayText, IDOK);
  EXPECT_MESSAGE_BOX(installer, kInstallDone, kRemovedText, IDOK);
  for (const char* name : names)
    if (FileExists(TestFile("drive", name)))
      CheckFailed(__FILE__, __LINE__, "%s was passed over", name);
  CHECK(FileExists(File("drive\\tmp", "Ryvo.dmp")));
  ExitWithButton(installer, window);
}
