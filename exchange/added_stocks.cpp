// The list of stocks added to a working folder since its last conversion
// (Added.txt): read, one name put at its end, the converted names taken
// out. Written whole through ReplaceWholeFile.
#include "added_stocks.h"

#include <string.h>

#include "stock_paths.h"
#include "text_lines.h"

char AddedStockNames[kMaxAddedStocks][kStockNameSize + 1];
int AddedStockCount;

namespace {

const char kAddedFile[] = "Added.txt";
TextReader AddedReader;
char AddedText[kMaxAddedStocks * (kStockNameSize + 2)];

int FindAdded(const char* name) {
  for (int i = 0; i < AddedStockCount; ++i)
    if (strcmp(AddedStockNames[i], name) == 0) return i;
  return -1;
}

// Writes AddedStockNames whole as Added.txt.
int WriteAddedStocks(const char* workFolder) {
  char path[kPathSize];
  int length = 0;
  for (int i = 0; i < AddedStockCount; ++i) {
    size_t n = strlen(AddedStockNames[i]);
    memcpy(AddedText + length, AddedStockNames[i], n);
    length += (int)n;
    AddedText[length++] = '\r';
    AddedText[length++] = '\n';
  }
  if (FormatFolderPath(path, workFolder, kAddedFile) != 0 ||
      ReplaceWholeFile(path, AddedText, length) != kWholeFileWritten) {
    PfMessageBox("RyvoDB Added file write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

}  // namespace

int ReadAddedStocks(const char* workFolder) {
  AddedStockCount = 0;
  char path[kPathSize];
  if (FormatFolderPath(path, workFolder, kAddedFile) != 0) return 0;
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL) {
    if (PfFileMissing(path)) {
      PfForgetFileError();   // no list: no names
      return 0;
    }
    PfMessageBox("RyvoDB Added file read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  PfFileCloser closer(file);
  TextReaderInit(&AddedReader, file);
  char line[kLineBufferSize];
  while (ReadTextLine(&AddedReader, line, sizeof line) >= 0) {
    StripLineEnd(line);
    if (line[0] == '\0' || strlen(line) > kStockNameSize || FindAdded(line) >= 0) continue;
    if (AddedStockCount == kMaxAddedStocks) break;
    memcpy(AddedStockNames[AddedStockCount++], line, strlen(line) + 1);
  }
  if (ferror(file)) {
    PfMessageBox("RyvoDB Added file read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

int AddAddedStock(const char* workFolder, const char* name) {
  if (ReadAddedStocks(workFolder) != 0) return -1;
  if (FindAdded(name) >= 0) return 0;
  if (AddedStockCount == kMaxAddedStocks || strlen(name) > kStockNameSize) {
    PfMessageBox("RyvoDB Added file write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  memcpy(AddedStockNames[AddedStockCount++], name, strlen(name) + 1);
  return WriteAddedStocks(workFolder);
}

int DropAddedStocks(const char* workFolder, const char (*held)[kStockNameSize + 1], int count) {
  if (ReadAddedStocks(workFolder) != 0) return -1;
  int kept = 0;
  for (int i = 0; i < AddedStockCount; ++i) {
    int found = 0;
    for (int k = 0; k < count && !found; ++k) found = strcmp(held[k], AddedStockNames[i]) == 0;
    if (!found) memmove(AddedStockNames[kept++], AddedStockNames[i], kStockNameSize + 1);
  }
  if (kept == AddedStockCount) return 0;
  AddedStockCount = kept;
  return WriteAddedStocks(workFolder);
}
