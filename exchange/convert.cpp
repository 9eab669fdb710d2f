// The conversion of the stock list, the stock settings files and the price
// CSV files back into Ryvo.dmp: the template lengths taken from the old
// dump, one DataRec per listed stock (read by FillStockRecord), and the new
// dump written through one buffer to a temporary file in the working
// folder, put in place of Ryvo.dmp only when complete.
#include <stdio.h>
#include <string.h>

#include "exchange.h"
#include "folder_rules.h"
#include "stock_paths.h"
#include "stock_reading.h"

static const char kNewDumpName[] = "Ryvo.dmp.tmp";

// Records go out through one large buffer: the dump is written front to
// back, so the running offset is always where the file stands and no seek
// is needed. A full disk shows when the buffer reaches the file, in the
// record that fills it or in the flush after the last one.
static char DumpOutBuffer[1 << 16];

static int WriteRecord(FILE* out, int32_t* offset, const unsigned char length[4]) {
  int32_t n = ReadLE32(length);
  if (fwrite(length, 1, 4, out) != 4) return -1;
  *offset += 4;
  if (fwrite(RecordBuffer, 1, (size_t)n, out) != (size_t)n) return -1;
  *offset += n;
  return 0;
}

static int IsTemplateLength(int32_t n) { return n >= 1 && n <= kRecordBufferSize; }

int BuildStockRecord(FILE* out, const char* name, int32_t* offset,
                     const unsigned char templateLength[4]) {
  if (name == NULL || name[0] == '\0') return -1;
  if (!IsTemplateLength(ReadLE32(templateLength))) {
    PfMessageBox("RyvoDB file Cnt.size read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  if (FillStockRecord(name, NULL) != 0) return -1;
  if (WriteRecord(out, offset, templateLength) != 0) {
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

// Writes the new dump into `out`; 0 when every stock is written.
static int WriteNewDump(FILE* out, StockList list, int count,
                        const unsigned char headerLength[4],
                        const unsigned char recordLength[4]) {
  memset(RecordBuffer, 0, sizeof RecordBuffer);
  WriteBE16(RecordBuffer + kContVersion, kWrittenVersion);
  WriteBE16(RecordBuffer + kContRecordCount, count);
  WriteBE16(RecordBuffer + kContWordA, 0);
  WriteBE16(RecordBuffer + kContWordB, 1000);
  WriteBE16(RecordBuffer + kContWordC, 0);
  memcpy(RecordBuffer + kCarriedOffset, CarriedBytes, kCarriedSize);
  int32_t offset = 0;
  if (WriteRecord(out, &offset, headerLength) != 0) {
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    char entry[kNameSize];
    if (PfListGetText(list, i, entry, sizeof entry) < 0) entry[0] = '\0';
    char* lineFeed = strchr(entry, '\n');
    if (lineFeed != NULL) *lineFeed = '\0';
    if (BuildStockRecord(out, entry[0] != '\0' ? entry : NULL, &offset, recordLength) < 0)
      return -1;
  }
  // The records are written in full only once the buffer has reached the
  // file.
  if (fflush(out) != 0) {
    PfMessageBox("RyvoDB file Cnt.size write error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }
  return 0;
}

// What the writer of the new dump needs; `written` tells the caller that
// the records were all written (their failures are reported where found).
struct NewDump {
  StockList list;
  int count;
  const unsigned char* headerLength;
  const unsigned char* recordLength;
  int written;
};

static int WriteNewDumpFile(FILE* out, void* context) {
  NewDump* dump = (NewDump*)context;
  setvbuf(out, DumpOutBuffer, _IOFBF, sizeof DumpOutBuffer);
  if (WriteNewDump(out, dump->list, dump->count, dump->headerLength, dump->recordLength) != 0)
    return -1;
  dump->written = 1;
  return 0;
}

int ConvertToHandheld(StockList list) {
  char dumpPath[kPathSize];
  char savePath[kPathSize];
  char newPath[kPathSize];
  int count = PfListCount(list) & 0xFFFF;
  if (count == 0) return -1;
  // One writer in the working folder, and no export into the CSV folder
  // while it is read; an export that did not finish is not read as whole.
  FolderLock workLock(WorkFolder);
  if (!workLock.held) return -1;
  FolderLock csvLock(CsvFolder);
  if (!csvLock.held || CheckExportFinished(CsvFolder) != 0) return -1;
  NoteSharedFileNames(list);

  if (FormatFolderPath(dumpPath, WorkFolder, "Ryvo.dmp") != 0 ||
      FormatFolderPath(savePath, WorkFolder, "SaveRyvo.dmp") != 0 ||
      PfCopyFile(dumpPath, savePath) != 0) {
    PfMessageBox("RyvoDB file copy read error", kSystemErrorCaption, PF_MB_OK);
    return -1;
  }

  // Prove that the dump may be rewritten and take the two template lengths
  // from it before anything is written.
  unsigned char headerLength[4];
  unsigned char recordLength[4];
  {
    FILE* old = PfOpenFile(dumpPath, "r+b");
    if (old == NULL) {
      PfMessageBox("RyvoDB file write error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
    PfFileCloser closer(old);
    int ok = fread(headerLength, 1, 4, old) == 4 &&
             IsTemplateLength(ReadLE32(headerLength)) &&
             fseek(old, 4 + ReadLE32(headerLength), SEEK_SET) == 0 &&
             fread(recordLength, 1, 4, old) == 4 &&
             IsTemplateLength(ReadLE32(recordLength));
    if (!ok) {
      PfMessageBox("RyvoDB file Cnt.size read error", kSystemErrorCaption, PF_MB_OK);
      return -1;
    }
  }

  NewDump dump = {list, count, headerLength, recordLength, 0};
  WholeFileResult result = kWholeFileNotCreated;
  if (FormatFolderPath(newPath, WorkFolder, kNewDumpName) == 0)
    result = WriteWholeFile(dumpPath, newPath, WriteNewDumpFile, &dump);
  if (result == kWholeFileWritten) return 0;
  if (result == kWholeFileNotCreated)
    PfMessageBox("RyvoDB file open error", kSystemErrorCaption, PF_MB_OK);
  else if (dump.written)   // the close or the replacing failed
    PfMessageBox("RyvoDB file write error", kSystemErrorCaption, PF_MB_OK);
  return -1;
}
