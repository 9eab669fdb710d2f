// The file side of the stock settings editor: reading, checking and
// writing one stock's settings file, and the price CSV copy on a rename.
#include "stock_settings.h"

#include <stdio.h>
#include <string.h>

#include "../exchange/exchange.h"
#include "../exchange/folder_rules.h"
#include "../exchange/stock_paths.h"
#include "../exchange/text_lines.h"
#include "../platform/platform.h"

namespace {

const char kInputError[] = "入力エラー";

void CopyText(char* to, int size, const char* from) {
  snprintf(to, size, "%s", from);
}

int FileExists(const char* path) {
  FILE* file = PfOpenFile(path, "rb");
  if (file == NULL) return 0;
  PfCloseFile(file);
  return 1;
}

static TextReader FieldsReader;   // 16 KB: kept off the stack

// One line of the settings file as the conversion reads it: at most
// kMaxLineChars characters with its line feed; a longer line comes in
// pieces, each read as a line of its own, so that the dialog shows what
// the conversion gives the handheld. Returns the number of characters,
// -1 at the end of the file, -2 when the file could not be read.
int ReadSettingsLine(TextReader* reader, char* line) {
  int length = ReadTextLine(reader, line, kMaxLineChars + 1);
  if (length < 0) return reader->file != NULL && ferror(reader->file) ? -2 : -1;
  return length;
}

// The message for a missing line (1-based) and what the reader returns.
StockFieldsRead ReportMissingLine(int lineNumber) {
  switch (lineNumber) {
    case 1:
      PfMessageBox("RyvoSetup file StockName read error", kSystemErrorCaption, PF_MB_OK);
      return kFieldsClose;
    case 2:
      PfMessageBox("RyvoSetup file OnlyClose read error", kSystemErrorCaption, PF_MB_OK);
      return kFieldsClose;
    case 3:
      PfMessageBox("RyvoSetup file WebScrap read error", kSystemErrorCaption, PF_MB_OK);
      return kFieldsPartial;
    case 4:
      PfMessageBox("RyvoSetup file FixedScale read error", kSystemErrorCaption, PF_MB_OK);
      return kFieldsPartial;
    default:
      PfMessageBox("RyvoSetup file read error", kSystemErrorCaption, PF_MB_OK);
      return kFieldsPartial;
  }
}

// Puts settings-file line `lineNumber` (1..14) into its field.
void StoreLine(StockFields* fields, int lineNumber, char* line) {
  if (lineNumber >= 8) {
    int pair = lineNumber - 8;
    SplitSettingsPair(line, fields->pairFirst[pair], kFieldSize,
                      fields->pairSecond[pair], kFieldSize);
    return;
  }
  switch (lineNumber) {
    case 2: fields->onlyClose = line[0] == '1'; return;
    case 3: fields->webScrap = line[0] == '1'; return;
    case 4: fields->fixedScale = line[0] == '1'; return;
    default: break;
  }
  StripLineEnd(line);
  char* text = lineNumber == 1   ? fields->name
               : lineNumber == 5 ? fields->document
               : lineNumber == 6 ? fields->keyword
                                 : fields->purchaseCount;
  CopyText(text, kFieldSize, line);
}

// The 14 lines from FieldsReader into `fields`, as ReadStockFields gives
// them.
StockFieldsRead ReadFieldLines(StockFields* fields) {
  char line[kLineBufferSize];
  for (int lineNumber = 1; lineNumber <= 14; ++lineNumber) {
    int length = ReadSettingsLine(&FieldsReader, line);
    if (length == -2) {
      PfMessageBox("RyvoDB Setup file read error", kSystemErrorCaption, PF_MB_OK);
      return kFieldsClose;
    }
    if (length < 0) return ReportMissingLine(lineNumber);
    StoreLine(fields, lineNumber, line);
  }
  return kFieldsReady;
}

char* PutText(char* out, const char* text) {
  size_t length = strlen(text);
  memcpy(out, text, length);
  return out + length;
}

// The 14 lines of the settings file, each ended by CR LF, into `out`
// (kStockFieldsTextSize bytes); returns the byte count.
int FormatSettingsLines(char* out, const char* name, const StockFields* fields) {
  const char* lines[7] = {name,
                          fields->onlyClose ? "1" : "0",
                          fields->webScrap ? "1" : "0",
                          fields->fixedScale ? "1" : "0",
                          fields->document,
                          fields->keyword,
                          fields->purchaseCount};
  char* p = out;
  for (int i = 0; i < 7; ++i) p = PutText(PutText(p, lines[i]), "\r\n");
  for (int i = 0; i < kPairCount; ++i) {
    p = PutText(PutText(p, fields->pairFirst[i]), ",");
    p = PutText(PutText(p, fields->pairSecond[i]), "\r\n");
  }
  return (int)(p - out);
}

}  // namespace

void ClearStockFields(StockFields* fields) {
  memset(fields, 0, sizeof *fields);
}

StockFieldsRead ReadStockFields(const char* currentName, StockFields* fields) {
  ClearStockFields(fields);
  if (currentName[0] == '\0') return kFieldsReady;

  // The price CSV file only has to exist.
  char path[kPathSize];
  if (FormatStockPath(path, CsvFolder, currentName, ".csv") != 0 || !FileExists(path)) {
    PfMessageBox("CSVファイルを作成してから実行してください。", "エラー", PF_MB_OK);
    return kFieldsClose;
  }

  if (FormatStockPath(path, WorkFolder, currentName, ".txt") != 0) return kFieldsClose;
  PfFileCloser guard(PfOpenFile(path, "rb"));
  if (guard.file == NULL) return kFieldsClose;

  TextReaderInit(&FieldsReader, guard.file);
  StockFieldsRead result = ReadFieldLines(fields);
  guard.Close();
  return result;
}

StockFieldsRead ReadStockFieldsText(const char* text, int length, StockFields* fields) {
  ClearStockFields(fields);
  TextReaderInitBytes(&FieldsReader, text, length);
  return ReadFieldLines(fields);
}

int FormatStockFields(char* out, const StockFields* fields) {
  char name[kNameSize];
  CopyText(name, sizeof name, fields->name);
  return FormatSettingsLines(out, name, fields);
}

StockFieldsCheck ValidateStockFields(const StockFields* fields) {
  if (strlen(fields->name) > kStockNameLimit) {
    PfMessageBox("銘柄名は半角２０文字以下、全角１０文字以下です。", kInputError, PF_MB_OK);
    return kFieldsInvalid;
  }
  if (strlen(fields->document) > kDocumentLimit) {
    PfMessageBox("Webドキュメントは半角１２０文字以下以下です。", kInputError, PF_MB_OK);
    return kFieldsInvalid;
  }
  if (strlen(fields->keyword) > kKeywordLimit) {
    PfMessageBox("キーワードは半角２０文字以下以下です。", kInputError, PF_MB_OK);
    return kFieldsInvalid;
  }
  // The name becomes two file names; one that could leave its folder, or
  // that Windows takes for a device, is refused here rather than failing
  // silently when saved. An empty name is left to the save, which ignores
  // it.
  if (fields->name[0] != '\0' && !IsStockFileName(fields->name)) {
    PfMessageBox("銘柄名に使用できない文字が含まれています。\n"
                 "「\\」「/」「:」「*」「?」「\"」「<」「>」「|」と制御文字を含む名前、\n"
                 "「.」「..」と、CON、PRN、AUX、NUL、COM1-COM9、LPT1-LPT9\n"
                 "（「.」の前にあっても）は使えません。",
                 kInputError, PF_MB_OK);
    return kFieldsInvalid;
  }
  return kFieldsValid;
}

int SaveStockFields(const char* currentName, const StockFields* fields,
                    char* resultName) {
  char name[kNameSize];
  CopyText(name, sizeof name, fields->name);
  if (name[0] == '\0') return -1;

  char settingsPath[kPathSize];
  if (FormatStockPath(settingsPath, WorkFolder, name, ".txt") != 0) return -1;
  // One writer at a time: a rename copies the price file as well.
  FolderLock workLock(WorkFolder);
  FolderLock csvLock(CsvFolder);
  if (!workLock.held || !csvLock.held) return -1;

  // A new stock, or a stock with a new name, must not silently take over
  // the files of another stock of that name.
  int renamed = strcmp(name, currentName) != 0;
  if (renamed) {
    char csvPath[kPathSize];
    int csvExists = FormatStockPath(csvPath, CsvFolder, name, ".csv") == 0 &&
                    FileExists(csvPath);
    if (csvExists || FileExists(settingsPath)) {
      if (PfMessageBox("この銘柄名のファイルは既にあります。\n"
                       "上書きしてよろしいですか？",
                       "注意", PF_MB_OKCANCEL) != PF_IDOK) {
        return -1;
      }
    }
  }

  if (renamed && currentName[0] != '\0') {
    char from[kPathSize];
    char to[kPathSize];
    if (FormatStockPath(from, CsvFolder, currentName, ".csv") != 0 ||
        FormatStockPath(to, CsvFolder, name, ".csv") != 0 || PfCopyFile(from, to) != 0) {
      PfMessageBox("Ryvo Data file copy error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
  }

  // Replaced whole or not at all: a failed save leaves the stock's settings
  // file as it was.
  static char text[kStockFieldsTextSize];
  int length = FormatSettingsLines(text, name, fields);
  WholeFileResult status = ReplaceWholeFile(settingsPath, text, length);
  if (status == kWholeFileNotCreated) return -1;   // no message
  if (status != kWholeFileWritten) {
    PfMessageBox("RyvoDB Setup file write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  CopyText(resultName, kNameSize, name);
  return 0;
}
