// The fuzz targets' platform: files confined to three scratch folders,
// counted messages, an in-memory stock list and settings store.
#include "fuzz_platform.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "exchange.h"
#include "platform.h"
#include "settings.h"
#include "stock_paths.h"
#include "text_codec.h"

namespace {

std::string g_root;
std::map<std::string, std::string> g_folders;
int g_messages;
int g_openFiles;
std::string g_lastMessage;
std::vector<std::string> g_list;
int g_listTag;
std::map<std::string, std::string> g_settings;

const char* const kSubs[] = {"work", "csv", "db"};

std::string Host(const char* path) {
  char out[4096];
  // Paths are the host's; a "\\" that a test writes between a folder and
  // a name is taken as "/" as well.
  size_t n = strlen(path);
  if (n >= sizeof out) return std::string();
  for (size_t i = 0; i <= n; ++i) out[i] = path[i] == '\\' ? '/' : path[i];
  return out;
}

// A path that a write may touch: a plain name directly inside one of the
// three folders.
bool Confined(const std::string& host) {
  for (const auto& entry : g_folders) {
    const std::string& folder = entry.second;
    if (host.size() <= folder.size() + 1 || host.compare(0, folder.size(), folder) != 0 ||
        host[folder.size()] != '/')
      continue;
    std::string name = host.substr(folder.size() + 1);
    if (name.find('/') != std::string::npos || name == "." || name == "..") return false;
    return true;
  }
  return false;
}

void RequireConfined(const char* path, const char* what) {
  std::string host = Host(path);
  if (host.empty() || !Confined(host)) {
    fprintf(stderr, "ryvo fuzz: %s outside the scratch folders: %s\n", what, path);
    __builtin_trap();
  }
}

void EmptyFolder(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (struct dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    std::string path = folder + "/" + e->d_name;
    if (unlink(path.c_str()) != 0) {
      fprintf(stderr, "ryvo fuzz: cannot remove %s\n", path.c_str());
      __builtin_trap();   // a folder would have been made inside the scratch
    }
  }
  closedir(dir);
}

}  // namespace

void FuzzPlatformInit(const char* target) {
  if (!g_root.empty()) {
    FuzzResetRun();
    return;
  }
  // Every run creates and removes files: a memory file system, where there
  // is one, keeps the fuzzer from waiting on the disk.
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  char root[256];
  snprintf(root, sizeof root, "%s/ryvo-fuzz-%s-%d", base, target, (int)getpid());
  g_root = root;
  mkdir(root, 0700);
  for (const char* sub : kSubs) {
    std::string folder = g_root + "/" + sub;
    mkdir(folder.c_str(), 0700);
    g_folders[sub] = folder;
  }
  // The scratch folders go when the process ends normally.
  atexit([] {
    for (const auto& entry : g_folders) {
      EmptyFolder(entry.second);
      rmdir(entry.second.c_str());
    }
    rmdir(g_root.c_str());
  });
  FuzzResetRun();
}

void FuzzBeginRun(const char* target) {
  FuzzPlatformInit(target);
  snprintf(WorkFolder, sizeof WorkFolder, "%s", FuzzFolder("work").c_str());
  snprintf(CsvFolder, sizeof CsvFolder, "%s", FuzzFolder("csv").c_str());
}

const std::string& FuzzFolder(const char* sub) { return g_folders[sub]; }

void FuzzResetRun(void) {
  for (const auto& entry : g_folders) EmptyFolder(entry.second);
  g_messages = 0;
  g_lastMessage.clear();
  g_list.clear();
  g_settings.clear();
}

bool FuzzStockFile(const char* sub, const std::string& name, const char* ext, std::string* file) {
  static char utf8[4096];
  file->clear();
  if (name.find('\0') != std::string::npos || name.size() >= 1024) return false;
  if (Cp932ToUtf8(name.c_str(), utf8, sizeof utf8) != 0) return false;
  std::string entry = std::string(utf8) + ext;
  if (FuzzFolder(sub).size() + 1 + entry.size() > 259) return false;
  *file = entry;
  return true;
}

std::vector<std::string> FuzzListFolder(const char* sub) {
  std::vector<std::string> names;
  DIR* dir = opendir(FuzzFolder(sub).c_str());
  if (!dir) return names;
  while (struct dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string FuzzReadFile(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return std::string();
  std::string bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

void FuzzWriteFile(const std::string& path, const unsigned char* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) FuzzFail("cannot write the input file");
  if (size > 0 && fwrite(data, 1, size, f) != size) FuzzFail("cannot write the input file");
  fclose(f);
}

int FuzzMessageCount(void) { return g_messages; }
int FuzzOpenFiles(void) { return g_openFiles; }
const std::string& FuzzLastMessage(void) { return g_lastMessage; }

void* FuzzStockList(void) { return &g_listTag; }
const std::vector<std::string>& FuzzListItems(void) { return g_list; }
void FuzzListSet(const std::vector<std::string>& names) { g_list = names; }

void FuzzFail(const char* what) {
  fprintf(stderr, "ryvo fuzz: property failed: %s\n", what);
  abort();
}

// ---- shared/platform.h ----

int PfMessageBox(const char* text, const char* caption, int buttons) {
  (void)caption;
  ++g_messages;
  g_lastMessage = text != nullptr ? text : "";
  return buttons == PF_MB_OKCANCEL ? PF_IDCANCEL : PF_IDOK;
}

FILE* PfOpenFile(const char* path, const char* mode) {
  if (strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+')) RequireConfined(path, "write");
  std::string host = Host(path);
  if (host.empty()) return nullptr;
  FILE* file = fopen(host.c_str(), mode);
  if (file != nullptr) ++g_openFiles;
  return file;
}

int PfCloseFile(FILE* file) {
  --g_openFiles;
  return fclose(file) == 0 ? 0 : -1;
}

FILE* PfCreateTemporary(const char* base, char* temporary) {
  static unsigned count;
  int n = snprintf(temporary, kPathSize, "%s.%u", base, ++count);
  if (n < 0 || n >= kPathSize) {
    temporary[0] = '\0';
    return nullptr;
  }
  return PfOpenFile(temporary, "wb");
}

int PfSyncFile(FILE* file) { return fflush(file) == 0 ? 0 : -1; }

int PfTakeFileError(char*, char*, int) { return -1; }

void PfForgetFileError(void) {}

PfLockResult PfLockFolder(const char*) { return kPfLockHeld; }

void PfUnlockFolder(const char*) {}

int PfCopyFile(const char* from, const char* to) {
  RequireConfined(to, "copy");
  std::string source = Host(from), target = Host(to);
  FILE* in = fopen(source.c_str(), "rb");
  if (!in) return -1;
  std::string temporary = target + ".copying";
  FILE* out = fopen(temporary.c_str(), "wb");
  if (!out) {
    fclose(in);
    return -1;
  }
  char buffer[65536];
  size_t n;
  bool ok = true;
  while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) ok = ok && fwrite(buffer, 1, n, out) == n;
  fclose(in);
  ok = fclose(out) == 0 && ok;
  if (!ok || rename(temporary.c_str(), target.c_str()) != 0) {
    remove(temporary.c_str());
    return -1;
  }
  return 0;
}

int PfReplaceFile(const char* from, const char* to) {
  RequireConfined(from, "rename");
  RequireConfined(to, "rename");
  return rename(Host(from).c_str(), Host(to).c_str()) == 0 ? 0 : -1;
}

int PfDeleteFile(const char* path) {
  RequireConfined(path, "delete");
  if (remove(Host(path).c_str()) == 0 || errno == ENOENT) return 0;
  return -1;
}

int PfFileMissing(const char* path) {
  std::string host = Host(path);
  struct stat st;
  return !host.empty() && stat(host.c_str(), &st) != 0 && errno == ENOENT;
}

int PfListCount(StockList list) { return list ? (int)g_list.size() : 0; }

int PfListGetText(StockList list, int index, char* buffer, int size) {
  if (size > 0) buffer[0] = '\0';
  if (!list || index < 0 || index >= (int)g_list.size()) return -1;
  int n = (int)g_list[(size_t)index].size();
  if (size <= 0) return n;
  if (n > size - 1) n = size - 1;
  memcpy(buffer, g_list[(size_t)index].data(), (size_t)n);
  buffer[n] = '\0';
  return n;
}

int PfListAppend(StockList list, const char* text) {
  if (!list) return -1;
  g_list.push_back(text);
  return (int)g_list.size() - 1;
}

int PfListInsert(StockList list, int index, const char* text) {
  if (!list || index < -1 || index > (int)g_list.size()) return -1;
  if (index == -1) return PfListAppend(list, text);
  g_list.insert(g_list.begin() + index, text);
  return index;
}

int PfListDelete(StockList list, int index) {
  if (!list || index < 0 || index >= (int)g_list.size()) return -1;
  g_list.erase(g_list.begin() + index);
  return (int)g_list.size();
}

int PfListSelection(StockList list) { (void)list; return -1; }
void PfListSelect(StockList list, int index) { (void)list; (void)index; }

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
  if (strcmp(key, kSettingsKey) != 0) return -1;
  g_settings[name] = text;
  return 0;
}
