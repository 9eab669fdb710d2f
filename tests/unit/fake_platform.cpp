// The test platform: files under a scratch folder with injected faults,
// recorded message boxes, an in-memory stock list and settings store.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include "fake_platform.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <deque>
#include <map>

#include "exchange.h"
#include "stock_paths.h"
#include "text_codec.h"


namespace {

struct Fault {
  std::string pattern;
  long bytes;
};

std::string g_root;
std::vector<FakeMessage> g_messages;
std::deque<int> g_answers;
std::vector<std::string> g_list;
int g_selection = -1;
std::map<std::string, std::string> g_settings;
bool g_failSettingsWrites = false;
std::vector<Fault> g_failOpen, g_failWrite, g_failClose, g_failCopy, g_failReplace,
    g_failDelete, g_failRead;
std::vector<std::string> g_openLog;
std::vector<std::string> g_readOnlyFiles, g_readOnlyFolders;
std::vector<std::pair<std::string, std::string>> g_removeOnOpen;
std::vector<std::string> g_busyFolders;
std::map<std::string, int> g_locks;
std::string g_failedPath, g_failedReason;
int g_listTag;

bool Matches(const std::vector<Fault>& faults, const char* path, long* bytes = nullptr) {
  for (const Fault& f : faults) {
    if (strstr(path, f.pattern.c_str()) != nullptr) {
      if (bytes != nullptr) *bytes = f.bytes;
      return true;
    }
  }
  return false;
}

std::string Host(const char* path) {
  char out[4096];
  // Paths are the host's; a "\\" that a test writes between a folder and
  // a name is taken as "/" as well.
  size_t n = strlen(path);
  if (n >= sizeof out) return std::string();
  for (size_t i = 0; i <= n; ++i) out[i] = path[i] == '\\' ? '/' : path[i];
  return out;
}

// True when the host form of `path` is read-only by FakeReadOnlyFile or
// FakeReadOnlyFolder.
bool ReadOnly(const char* path) {
  std::string host = Host(path);
  if (host.empty()) return false;
  for (const std::string& suffix : g_readOnlyFiles)
    if (host.size() >= suffix.size() &&
        host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  size_t slash = host.rfind('/');
  std::string parent = slash == std::string::npos ? std::string() : host.substr(0, slash);
  for (const std::string& folder : g_readOnlyFolders)
    if (parent == folder) return true;
  return false;
}

void RemoveTree(const std::string& path) {
  if (path.empty()) return;
  std::string command = "rm -rf '" + path + "'";
  if (system(command.c_str()) != 0) {
    // a leftover scratch folder in /tmp is harmless
  }
}

// A FILE* whose writes fail once `budget` bytes have been written, and
// whose close may fail.
struct Cookie {
  FILE* file;
  long budget;   // -1: no limit
  bool failClose;
  bool failRead;
};

ssize_t CookieRead(void* c, char* buf, size_t size) {
  Cookie* cookie = static_cast<Cookie*>(c);
  if (cookie->failRead) {
    errno = EIO;
    return -1;
  }
  size_t n = fread(buf, 1, size, cookie->file);
  if (n == 0 && ferror(cookie->file)) return -1;
  return (ssize_t)n;
}

ssize_t CookieWrite(void* c, const char* buf, size_t size) {
  Cookie* cookie = static_cast<Cookie*>(c);
  size_t allowed = size;
  if (cookie->budget >= 0 && (long)size > cookie->budget) allowed = (size_t)cookie->budget;
  if (allowed == 0 && size > 0) {
    errno = ENOSPC;
    return -1;
  }
  size_t n = fwrite(buf, 1, allowed, cookie->file);
  if (cookie->budget >= 0) cookie->budget -= (long)n;
  return (ssize_t)n;
}

int CookieSeek(void* c, off64_t* offset, int whence) {
  Cookie* cookie = static_cast<Cookie*>(c);
  if (fseeko(cookie->file, (off_t)*offset, whence) != 0) return -1;
  *offset = (off64_t)ftello(cookie->file);
  return 0;
}

int CookieClose(void* c) {
  Cookie* cookie = static_cast<Cookie*>(c);
  int result = fclose(cookie->file);
  bool fail = cookie->failClose;
  delete cookie;
  return (result != 0 || fail) ? -1 : 0;
}

}  // namespace

void FakeReset(void) {
  RemoveTree(g_root);
  char pattern[] = "/tmp/ryvo-unit-XXXXXX";
  const char* made = mkdtemp(pattern);
  g_root = made != nullptr ? made : "/tmp";
  g_messages.clear();
  g_answers.clear();
  g_list.clear();
  g_selection = -1;
  g_settings.clear();
  g_failSettingsWrites = false;
  g_failOpen.clear();
  g_failWrite.clear();
  g_failClose.clear();
  g_failCopy.clear();
  g_failReplace.clear();
  g_failDelete.clear();
  g_failRead.clear();
  g_openLog.clear();
  g_readOnlyFiles.clear();
  g_readOnlyFolders.clear();
  g_removeOnOpen.clear();
  g_busyFolders.clear();
  g_locks.clear();
  g_failedPath.clear();
}

const std::string& FakeRoot(void) {
  if (g_root.empty()) FakeReset();
  return g_root;
}

std::string FakeFolder(const char* relative) {
  std::string path = FakeRoot() + "/" + relative;
  std::string command = "mkdir -p '" + path + "'";
  if (system(command.c_str()) != 0) return std::string();
  return path;
}

void FakeResetWithFolders(std::string* work, std::string* csv) {
  FakeReset();
  *work = FakeFolder("work");
  *csv = FakeFolder("csv");
  snprintf(WorkFolder, sizeof WorkFolder, "%s", work->c_str());
  snprintf(CsvFolder, sizeof CsvFolder, "%s", csv->c_str());
}

const std::vector<FakeMessage>& FakeMessages(void) { return g_messages; }
void FakeClearMessages(void) { g_messages.clear(); }
void FakeQueueAnswer(int answer) { g_answers.push_back(answer); }

StockList FakeStockList(void) { return &g_listTag; }
void FakeListSet(const std::vector<std::string>& names) {
  g_list = names;
  g_selection = -1;
}
std::vector<std::string> FakeListItems(void) { return g_list; }

void FakeSettingsSet(const char* name, const char* value) { g_settings[name] = value; }
void FakeSettingsFailWrites(void) { g_failSettingsWrites = true; }

void FakeFailOpen(const char* pattern) { g_failOpen.push_back({pattern, 0}); }
void FakeFailWriteAfter(const char* pattern, long bytes) {
  g_failWrite.push_back({pattern, bytes});
}
void FakeFailClose(const char* pattern) { g_failClose.push_back({pattern, 0}); }
void FakeFailCopy(const char* pattern) { g_failCopy.push_back({pattern, 0}); }
void FakeFailReplace(const char* pattern) { g_failReplace.push_back({pattern, 0}); }
void FakeFailDelete(const char* pattern) { g_failDelete.push_back({pattern, 0}); }
void FakeFailRead(const char* pattern) { g_failRead.push_back({pattern, 0}); }
void FakeFolderBusy(const char* pattern) { g_busyFolders.push_back(pattern); }
int FakeLocksHeld(void) {
  int held = 0;
  for (const auto& lock : g_locks) held += lock.second;
  return held;
}
const std::vector<std::string>& FakeOpenLog(void) { return g_openLog; }
void FakeReadOnlyFile(const char* suffix) { g_readOnlyFiles.push_back(suffix); }
void FakeReadOnlyFolder(const std::string& hostFolder) { g_readOnlyFolders.push_back(hostFolder); }
void FakeRemoveOnOpen(const char* pattern, const std::string& hostPath) {
  g_removeOnOpen.push_back({pattern, hostPath});
}

std::string FakeHostName(const std::string& cp932Name) {
  char utf8[4 * kPathSize];
  return Cp932ToUtf8(cp932Name.c_str(), utf8, sizeof utf8) == 0 ? utf8 : "";
}

std::string FakeReadFile(const std::string& hostPath) {
  FILE* f = fopen(hostPath.c_str(), "rb");
  if (f == nullptr) return std::string();
  std::string bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

bool FakeFileExists(const std::string& hostPath) {
  struct stat st;
  return stat(hostPath.c_str(), &st) == 0;
}

void FakeWriteFile(const std::string& hostPath, const std::string& bytes) {
  FILE* f = fopen(hostPath.c_str(), "wb");
  if (f == nullptr) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// ---- shared/platform.h ----

int PfMessageBox(const char* text, const char* caption, int buttons) {
  g_messages.push_back({text != nullptr ? text : "", caption != nullptr ? caption : "", buttons});
  if (buttons != PF_MB_OKCANCEL) return PF_IDOK;
  if (g_answers.empty()) return PF_IDOK;
  int answer = g_answers.front();
  g_answers.pop_front();
  return answer;
}

FILE* PfOpenFile(const char* path, const char* mode) {
  std::string opened = std::string(path) + " (" + mode + ")";
  g_openLog.push_back(opened);
  for (auto it = g_removeOnOpen.begin(); it != g_removeOnOpen.end(); ++it) {
    if (opened.find(it->first) != std::string::npos) {
      remove(it->second.c_str());
      g_removeOnOpen.erase(it);
      break;
    }
  }
  if (Matches(g_failOpen, opened.c_str())) return nullptr;
  std::string host = Host(path);
  if (host.empty()) return nullptr;
  if ((strchr(mode, 'w') != nullptr || strchr(mode, 'a') != nullptr ||
       strchr(mode, '+') != nullptr) &&
      ReadOnly(path))
    return nullptr;
  // As the platforms do: a new file is created exclusively (never through
  // a link), and only regular files are read.
  std::string how = mode;
  if (how[0] == 'w') how += 'x';
  FILE* file = fopen(host.c_str(), how.c_str());
  if (file == nullptr) {
    g_failedPath = path;
    g_failedReason = strerror(errno);
    return nullptr;
  }
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
    fclose(file);
    g_failedPath = path;
    g_failedReason = "is not a regular file";
    return nullptr;
  }
  long budget = -1;
  bool writes = strchr(mode, 'w') != nullptr || strchr(mode, 'a') != nullptr ||
                strchr(mode, '+') != nullptr;
  bool limit = writes && Matches(g_failWrite, path, &budget);
  bool failClose = Matches(g_failClose, path);
  bool failRead = !writes && Matches(g_failRead, path);
  if (!limit && !failClose && !failRead) return file;
  Cookie* cookie = new Cookie{file, limit ? budget : -1, failClose, failRead};
  cookie_io_functions_t functions = {CookieRead, CookieWrite, CookieSeek, CookieClose};
  FILE* wrapped = fopencookie(cookie, mode, functions);
  if (wrapped == nullptr) {
    fclose(file);
    delete cookie;
  }
  return wrapped;
}

int PfCloseFile(FILE* file) { return fclose(file) == 0 ? 0 : -1; }

FILE* PfCreateTemporary(const char* base, char* temporary) {
  static unsigned count;
  for (int attempt = 0; attempt < 100; ++attempt) {
    int n = snprintf(temporary, kPathSize, "%s.%d-%u", base, (int)getpid(), ++count);
    if (n < 0 || n >= kPathSize) break;
    if (!Host(temporary).empty() && FakeFileExists(Host(temporary))) continue;
    FILE* file = PfOpenFile(temporary, "wb");
    if (file == nullptr) temporary[0] = '\0';
    return file;
  }
  temporary[0] = '\0';
  return nullptr;
}

int PfSyncFile(FILE* file) { return fflush(file) == 0 ? 0 : -1; }

void PfForgetFileError(void) { g_failedPath.clear(); }

int PfTakeFileError(char* path, char* reason, int size) {
  if (g_failedPath.empty()) return -1;
  snprintf(path, kPathSize, "%s", g_failedPath.c_str());
  snprintf(reason, (size_t)size, "%s", g_failedReason.c_str());
  g_failedPath.clear();
  return 0;
}

PfLockResult PfLockFolder(const char* folder) {
  for (const std::string& busy : g_busyFolders)
    if (strstr(folder, busy.c_str()) != nullptr) return kPfLockBusy;
  ++g_locks[folder];
  return kPfLockHeld;
}

void PfUnlockFolder(const char* folder) {
  auto it = g_locks.find(folder);
  if (it != g_locks.end() && --it->second == 0) g_locks.erase(it);
}

int PfCopyFile(const char* from, const char* to) {
  if (Matches(g_failCopy, from) || Matches(g_failCopy, to) || ReadOnly(to)) return -1;
  std::string source = Host(from), target = Host(to);
  if (source.empty() || target.empty() || !FakeFileExists(source)) return -1;
  std::string bytes = FakeReadFile(source);
  std::string temporary = target + ".copying";
  FILE* f = fopen(temporary.c_str(), "wb");
  if (f == nullptr) return -1;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fclose(f) == 0 && ok;
  if (!ok || rename(temporary.c_str(), target.c_str()) != 0) {
    remove(temporary.c_str());
    return -1;
  }
  return 0;
}

int PfReplaceFile(const char* from, const char* to) {
  if (Matches(g_failReplace, from) || Matches(g_failReplace, to) || ReadOnly(from) ||
      ReadOnly(to))
    return -1;
  std::string source = Host(from), target = Host(to);
  if (source.empty() || target.empty()) return -1;
  struct stat status;
  if (lstat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return -1;
  return rename(source.c_str(), target.c_str()) == 0 ? 0 : -1;
}

int PfDeleteFile(const char* path) {
  if (Matches(g_failDelete, path) || ReadOnly(path)) return -1;
  std::string host = Host(path);
  if (host.empty()) return -1;
  if (remove(host.c_str()) == 0 || errno == ENOENT) return 0;
  return -1;
}

int PfFileMissing(const char* path) {
  std::string host = Host(path);
  struct stat st;
  return !host.empty() && lstat(host.c_str(), &st) != 0 && errno == ENOENT;
}

int PfListCount(StockList list) { return list != nullptr ? (int)g_list.size() : 0; }

int PfListGetText(StockList list, int index, char* buffer, int size) {
  if (size > 0) buffer[0] = '\0';
  if (list == nullptr || index < 0 || index >= (int)g_list.size()) return -1;
  const std::string& text = g_list[(size_t)index];
  int n = (int)text.size();
  if (size <= 0) return n;
  if (n > size - 1) n = size - 1;
  memcpy(buffer, text.data(), (size_t)n);
  buffer[n] = '\0';
  return n;
}

int PfListAppend(StockList list, const char* text) {
  if (list == nullptr) return -1;
  g_list.push_back(text);
  return (int)g_list.size() - 1;
}

int PfListInsert(StockList list, int index, const char* text) {
  if (list == nullptr || index < -1 || index > (int)g_list.size()) return -1;
  if (index == -1) return PfListAppend(list, text);
  g_list.insert(g_list.begin() + index, text);
  return index;
}

int PfListDelete(StockList list, int index) {
  if (list == nullptr || index < 0 || index >= (int)g_list.size()) return -1;
  g_list.erase(g_list.begin() + index);
  if (g_selection >= (int)g_list.size()) g_selection = -1;
  return (int)g_list.size();
}

int PfListSelection(StockList list) { return list != nullptr ? g_selection : -1; }

void PfListSelect(StockList list, int index) {
  if (list == nullptr) return;
  g_selection = (index >= 0 && index < (int)g_list.size()) ? index : -1;
}

// ---- shared/settings.h ----

int ReadSetting(char* buffer, int size, const char* key, const char* name) {
  if (size > 0) buffer[0] = '\0';
  if (strcmp(key, kSettingsKey) != 0) return -1;
  auto it = g_settings.find(name);
  if (it == g_settings.end() || (int)it->second.size() + 1 > size) return -1;
  memcpy(buffer, it->second.c_str(), it->second.size() + 1);
  return 0;
}

int WriteSetting(const char* text, const char* key, const char* name) {
  if (g_failSettingsWrites || strcmp(key, kSettingsKey) != 0) return -1;
  g_settings[name] = text;
  return 0;
}
