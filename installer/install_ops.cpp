// The work behind the installer's buttons: the start-up probe of the
// Conduit Manager, install, update, uninstall and the deletion of the
// settings key. Every operation reports its own failures in message boxes.
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "condmgr.h"
#include "installer.h"
#include "resource.h"
#include "settings.h"
#include "text_codec.h"
#include "version.h"

static const char kCreator[] = "Ryvo";
static const char kVersion[] = "Ver. " RYVO_VERSION_TEXT;
static const char kOldVersion[] = "V1.00";
static const char kInstallerExe[] = "Installation.exe";
static const char kConduitDll[] = "RyvoPC.dll";
static const char kMainProgram[] = "RyvoWin.exe";

static const char kCaption[] = "インストーラ";
static const char kCaptionDone[] = "インストール";
static const char kNoInstallFolder[] =
    "インストール先のディレクトリが登録されていません。\n何も変更しませんでした。";
static const char kPathTooLong[] = "パスが長すぎます。\n%s";

// Room the install folder must leave for the longest path formed from it,
// the conduit's full path ("\RyvoPC.dll"); the working folder ("\tmp")
// is shorter.
enum { kInstallReserve = 1 + sizeof kConduitDll - 1 };

// PATH may be far longer than any folder; the platform's limit for one
// environment value is 32767 characters.
static wchar_t s_environmentPath[32768];

// A code page 932 path as the wide calls take it (kPathSize characters):
// 0, or -1 when it does not fit.
static int WidePath(const char* path, wchar_t* wide) {
  return Cp932ToWide(path, wide, kPathSize);
}

// Appends ";folder" to this process's PATH. A PATH that is not set
// becomes the folder alone; one that would grow past the limit stays as it
// is.
static void ExtendPath(const char* folder) {
  const size_t count = sizeof s_environmentPath / sizeof s_environmentPath[0];
  wchar_t wideFolder[kPathSize];
  if (WidePath(folder, wideFolder) != 0) return;
  DWORD n = GetEnvironmentVariableW(L"PATH", s_environmentPath, (DWORD)count);
  if (n >= count) return;
  size_t room = count - n;
  size_t added = (n ? 1 : 0) + wcslen(wideFolder);
  if (added >= room) return;
  if (n) wcscat(s_environmentPath, L";");
  wcscat(s_environmentPath, wideFolder);
  SetEnvironmentVariableW(L"PATH", s_environmentPath);
}

// The source folder becomes the current directory (relative folders typed
// into the field are taken from there).
static void SetSourceAsCurrent(void) {
  wchar_t wide[kPathSize];
  if (WidePath(g_sourceFolder, wide) == 0) SetCurrentDirectoryW(wide);
}

int StartupProbe() {
  static char folder[kPathSize];
  int size = kPathSize;
  if (LoadConduitManager() != 0 || CmGetPalmDesktopFolder(folder, &size) != 0) {
    ShowMessage("No Installed PalmDesktop!!", "DeBug", MB_OK);
    return -1;
  }
  folder[kPathSize - 1] = '\0';
  ExtendPath(folder);
  size = kPathSize;
  int registered = CmQueryConduit(kCreator, folder, &size) == 0;
  SetMode(registered);
  if (registered) ReadSetting(g_installFolder, kPathSize, kSettingsKey, "RyvoWinInst");
  return 0;
}

// Copies every file of the source folder that matches `pattern`, except
// one named exactly `skip` (letter case counts), into `destination`,
// replacing files already there. Nothing matching is no error. -1 after
// "...をコピーできません。" on the first failed copy; earlier copies stay.
static int CopyMatching(const char* pattern, const char* skip, const char* destination) {
  char search[kPathSize];
  if (JoinPath(search, g_sourceFolder, pattern) != 0) {
    ShowNameMessage(kPathTooLong, g_sourceFolder, kCaption);
    return -1;
  }
  wchar_t wideSearch[kPathSize];
  WIN32_FIND_DATAW found;
  HANDLE listing = WidePath(search, wideSearch) == 0 ? FindFirstFileW(wideSearch, &found)
                                                     : INVALID_HANDLE_VALUE;
  if (listing == INVALID_HANDLE_VALUE) return 0;
  int result = 0;
  do {
    char name[kPathSize];
    int named = WideToCp932(found.cFileName, name, sizeof name) == 0;
    if (named && skip && strcmp(name, skip) == 0) continue;
    char from[kPathSize], to[kPathSize];
    wchar_t wideFrom[kPathSize], wideTo[kPathSize];
    if (!named || JoinPath(from, g_sourceFolder, name) != 0 ||
        JoinPath(to, destination, name) != 0 || WidePath(from, wideFrom) != 0 ||
        WidePath(to, wideTo) != 0 || !CopyFileW(wideFrom, wideTo, FALSE)) {
      if (!named) WideToCp932Shown(found.cFileName, name, sizeof name);
      ShowNameMessage("%sをコピーできません。", name, kCaption);
      result = -1;
      break;
    }
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  return result;
}

int CheckSource(void) {
  char path[kPathSize];
  if (JoinPath(path, g_sourceFolder, kMainProgram) != 0) {
    ShowNameMessage(kPathTooLong, g_sourceFolder, kCaption);
    return -1;
  }
  wchar_t widePath[kPathSize];
  DWORD attributes = Cp932ToWide(path, widePath, kPathSize) == 0 ? GetFileAttributesW(widePath)
                                                                 : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ShowNameMessage("インストール元のファイルがありません。\n%s", path, kCaption);
    return -1;
  }
  return 0;
}

static int CopyPrograms(const char* destination) {
  if (CopyMatching("*.exe", kInstallerExe, destination) != 0) return -1;
  return CopyMatching("*.dll", NULL, destination);
}

// Creates `folder`; one that cannot be created but can be entered (it
// exists already) is accepted and becomes the current directory.
static int MakeFolder(const char* folder) {
  wchar_t wide[kPathSize];
  if (WidePath(folder, wide) != 0 || (!CreateDirectoryW(wide, NULL) && !SetCurrentDirectoryW(wide))) {
    ShowMessage("ディレクトリを作成できません。", kCaption, MB_OK);
    return -1;
  }
  return 0;
}

// Shows the failing call's message and hands its code back.
static int RegistrationFailed(const char* message, int code) {
  ShowMessage(message, kCaption, MB_OK);
  return code;
}

// The five registration calls in order; the first failure stops them and
// the calls already made stay in effect.
static int RegisterConduit(const char* conduitPath) {
  int code;
  if ((code = CmInstallCreator(kCreator, 1)) != 0)
    return RegistrationFailed("CmInstallCreator Error!!", code);
  if ((code = CmSetCreatorName(kCreator, conduitPath)) != 0)
    return RegistrationFailed("CmSetCreatorName Error!!", code);
  if ((code = CmSetCreatorDirectory(kCreator, "backup")) != 0)
    return RegistrationFailed("CmSetCreatorDirectory Error!!", code);
  if ((code = CmSetCreatorFile(kCreator, "RyvoDB.PDB")) != 0)
    return RegistrationFailed("CmSetCreatorFile Error!!", code);
  if ((code = CmSetCreatorPriority(kCreator, 2)) != 0)
    return RegistrationFailed("CmSetCreatorPriority Error!!", code);
  return 0;
}

// A folder typed as "X:\..." or "\\server\..." is taken as it stands (a
// drive root keeps its backslash, so the install folder gets a doubled
// one); anything else is relative to the medium and is made absolute, so
// that the registry never records a folder that depends on where a
// program happens to be started.
static int IsAbsolute(const char* folder) {
  if (folder[0] == '\\' && folder[1] == '\\') return 1;
  return ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z')) &&
         folder[1] == ':' && folder[2] == '\\';
}

// Reads the folder field into `chosen` (kPathSize bytes), absolute. -1
// after a message when it is empty or too long for the paths formed from
// it; a long text is refused, never cut short.
static int ReadChosenFolder(HWND window, char* chosen) {
  char field[2 * kPathSize];
  GetDialogText(window, IDC_FOLDER_FIELD, field, sizeof field);
  if (!field[0]) {
    ShowMessage("インストール先を指定してください。", kCaption, MB_OK);
    return -1;
  }
  size_t length = strlen(field);
  if (IsAbsolute(field)) {
    if (length < kPathSize) memcpy(chosen, field, length + 1);
  } else {
    SetSourceAsCurrent();
    static wchar_t wideField[2 * kPathSize], full[kPathSize];
    Cp932ToWide(field, wideField, 2 * kPathSize);
    DWORD n = GetFullPathNameW(wideField, kPathSize, full, NULL);
    length = (n == 0 || n >= kPathSize || WideToCp932(full, chosen, kPathSize) != 0)
                 ? (size_t)kPathSize
                 : strlen(chosen);
  }
  if (length + sizeof "\\RyvoWin" - 1 + kInstallReserve >= kPathSize) {
    ShowMessage("インストール先のパスが長すぎます。", kCaption, MB_OK);
    return -1;
  }
  return 0;
}

int Install(HWND window) {
  char chosen[kPathSize];
  if (ReadChosenFolder(window, chosen) != 0) return -1;
  if (CheckSource() != 0) return -1;
  wchar_t wideChosen[kPathSize];
  if (WidePath(chosen, wideChosen) != 0 || !SetCurrentDirectoryW(wideChosen)) {
    ShowMessage("インストール先が間違っています。", kCaption, MB_OK);
    return -1;
  }
  // Plain text: a folder that ends in a backslash gives a doubled one,
  // and that text is what is stored and used.
  snprintf(g_installFolder, kPathSize, "%s\\RyvoWin", chosen);
  char workFolder[kPathSize], conduitPath[kPathSize];
  JoinPath(workFolder, g_installFolder, "tmp");
  JoinPath(conduitPath, g_installFolder, kConduitDll);

  WriteSetting(kVersion, kSettingsKey, "RyvoWin");
  WriteSetting(kVersion, kSettingsKey, "RyvoPC");
  WriteSetting(g_installFolder, kSettingsKey, "RyvoWinInst");
  WriteSetting("", kSettingsKey, "RyvoWinDir");
  WriteSetting("ToPC", kSettingsKey, "SyncDir");
  WriteSetting(workFolder, kSettingsKey, "RyvoWinTmp");

  if (MakeFolder(g_installFolder) != 0) return -1;
  if (MakeFolder(workFolder) != 0) return -1;
  SetSourceAsCurrent();
  if (CopyPrograms(g_installFolder) != 0) return -1;

  int code = RegisterConduit(conduitPath);
  if (code != 0) return code;
  ShowMessage("プラグインをインストールしました。\nＨｏｔＳｙｎｃＭａｎａｇｅｒを再起動してください。",
              kCaptionDone, MB_OK);
  SetMode(1);
  SetDialogText(window, IDC_FOLDER_FIELD, g_installFolder);
  return 0;
}

int Update(HWND) {
  char workFolder[kPathSize], winVersion[kPathSize], pcVersion[kPathSize];
  ReadSetting(g_installFolder, kPathSize, kSettingsKey, "RyvoWinInst");
  ReadSetting(workFolder, kPathSize, kSettingsKey, "RyvoWinTmp");
  ReadSetting(winVersion, kPathSize, kSettingsKey, "RyvoWin");
  ReadSetting(pcVersion, kPathSize, kSettingsKey, "RyvoPC");
  // Without a recorded install folder there is nothing to copy over.
  if (!g_installFolder[0]) {
    ShowMessage(kNoInstallFolder, kCaption, MB_OK);
    return -1;
  }
  if (strcmp(winVersion, kOldVersion) != 0 && strcmp(pcVersion, kOldVersion) != 0) {
    ShowMessage("アップデートされています。", "DeBug", MB_OK);
    return 0;
  }
  if (ShowMessage("アップデートします。よろしいですね？", "RyvoWin", MB_OKCANCEL) != IDOK) return 0;
  if (CheckSource() != 0) return -1;
  SetSourceAsCurrent();
  if (CopyPrograms(g_installFolder) != 0) return -1;
  WriteSetting(kVersion, kSettingsKey, "RyvoWin");
  WriteSetting(kVersion, kSettingsKey, "RyvoPC");
  return 0;
}

int Uninstall(HWND) {
  // An empty install folder would make the listing "\*.*", the root of
  // the current drive: touch nothing.
  if (!g_installFolder[0]) {
    ShowMessage(kNoInstallFolder, kCaption, MB_OK);
    return -1;
  }
  char search[kPathSize];
  if (JoinPath(search, g_installFolder, "*.*") != 0) {
    ShowNameMessage(kPathTooLong, g_installFolder, kCaption);
    return -1;
  }
  wchar_t wideSearch[kPathSize];
  WIN32_FIND_DATAW found;
  HANDLE listing = WidePath(search, wideSearch) == 0 ? FindFirstFileW(wideSearch, &found)
                                                     : INVALID_HANDLE_VALUE;
  if (listing == INVALID_HANDLE_VALUE) return -1;
  // "." and ".." are passed over by name wherever they come (a drive root
  // lists neither); tmp stays with everything in it, and any other folder
  // fails its deletion and stops the uninstall.
  int result = 0;
  do {
    char name[kPathSize];
    int named = WideToCp932(found.cFileName, name, sizeof name) == 0;
    if (!named) WideToCp932Shown(found.cFileName, name, sizeof name);
    if (named && (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || strcmp(name, "tmp") == 0))
      continue;
    char path[kPathSize];
    wchar_t widePath[kPathSize];
    if (!named || JoinPath(path, g_installFolder, name) != 0 || WidePath(path, widePath) != 0 ||
        !DeleteFileW(widePath)) {
      ShowNameMessage("%sを削除できません。", name, kCaption);
      result = -1;
      break;
    }
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  if (result != 0) return result;

  ShowMessage("ディレクトリは削除しません。\n不要な場合は削除してください。", kCaption, MB_OK);
  DeleteSettings(kSettingsKey);
  int code = CmRemoveConduitByCreatorID(kCreator);
  if (code != 1) {
    ShowMessage("CmRemoveConduitByCreatorID Error!!", kCaption, MB_OK);
    return code;
  }
  ShowMessage("プラグインを削除しました。\nＨｏｔＳｙｎｃＭａｎａｇｅｒを再起動してください。",
              kCaptionDone, MB_OK);
  SetMode(0);
  return 0;
}

int DeleteSettings(const char* key) {
  return RegDeleteKeyA(HKEY_CURRENT_USER, key) == ERROR_SUCCESS ? 0 : -1;
}
