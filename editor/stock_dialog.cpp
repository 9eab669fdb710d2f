// The stock settings dialog RECEDIT_DLG: its procedure, and the moves of
// the field texts between the controls and stock_settings.
#include "stock_dialog.h"

#include <string.h>

#include "../platform/platform.h"
#include "../shared/text_codec.h"
#include "editor_resource.h"
#include "stock_settings.h"

char CurrentStockName[kNameSize];
char ResultStockName[kNameSize];

namespace {

// Controls of lines 8 to 14, in file order: (first, second).
const int kPairControls[kPairCount][2] = {
    {IDC_STOCK_OPEN_ROW, IDC_STOCK_OPEN_TAG},     {IDC_STOCK_HIGH_ROW, IDC_STOCK_HIGH_TAG},
    {IDC_STOCK_LOW_ROW, IDC_STOCK_LOW_TAG},       {IDC_STOCK_CLOSE_ROW, IDC_STOCK_CLOSE_TAG},
    {IDC_STOCK_VOLUME_ROW, IDC_STOCK_VOLUME_TAG}, {IDC_STOCK_PRICE_MAX, IDC_STOCK_PRICE_MIN},
    {IDC_STOCK_VOLUME_MAX, IDC_STOCK_VOLUME_MIN}};

// One set of field texts at a time; kept off the stack (about 5 KB).
StockFields Fields;

void ShowFields(HWND dialog, const StockFields* fields) {
  SetDialogText(dialog, IDC_STOCK_NAME, fields->name);
  CheckDlgButton(dialog, IDC_STOCK_ONLYCLOSE, fields->onlyClose ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_STOCK_WEBSCRAP, fields->webScrap ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_STOCK_FIXEDSCALE, fields->fixedScale ? BST_CHECKED : BST_UNCHECKED);
  SetDialogText(dialog, IDC_STOCK_DOCUMENT, fields->document);
  SetDialogText(dialog, IDC_STOCK_KEYWORD, fields->keyword);
  SetDialogText(dialog, IDC_STOCK_PURCHASE, fields->purchaseCount);
  for (int i = 0; i < kPairCount; ++i) {
    SetDialogText(dialog, kPairControls[i][0], fields->pairFirst[i]);
    SetDialogText(dialog, kPairControls[i][1], fields->pairSecond[i]);
  }
}

// Each text is taken into its 260-byte field, cut there if longer.
void TakeFields(HWND dialog, StockFields* fields) {
  ClearStockFields(fields);
  GetDialogText(dialog, IDC_STOCK_NAME, fields->name, kFieldSize);
  fields->onlyClose = IsDlgButtonChecked(dialog, IDC_STOCK_ONLYCLOSE) == BST_CHECKED;
  fields->webScrap = IsDlgButtonChecked(dialog, IDC_STOCK_WEBSCRAP) == BST_CHECKED;
  fields->fixedScale = IsDlgButtonChecked(dialog, IDC_STOCK_FIXEDSCALE) == BST_CHECKED;
  GetDialogText(dialog, IDC_STOCK_DOCUMENT, fields->document, kFieldSize);
  GetDialogText(dialog, IDC_STOCK_KEYWORD, fields->keyword, kFieldSize);
  GetDialogText(dialog, IDC_STOCK_PURCHASE, fields->purchaseCount, kFieldSize);
  for (int i = 0; i < kPairCount; ++i) {
    GetDialogText(dialog, kPairControls[i][0], fields->pairFirst[i], kFieldSize);
    GetDialogText(dialog, kPairControls[i][1], fields->pairSecond[i], kFieldSize);
  }
}

// Ends the modal run. EndDialog, not DestroyWindow: the dialog box's own
// loop then returns at once and destroys the window itself; a window
// destroyed under it would leave the loop waiting for one more message.
void CloseDialog(HWND dialog) {
  EndDialog(dialog, 0);
}

void OnInit(HWND dialog) {
  if (ReadStockSettings(dialog) == kFieldsClose) {
    CloseDialog(dialog);
    memcpy(ResultStockName, CurrentStockName, sizeof ResultStockName);
  }
}

void OnRegister(HWND dialog) {
  if (ValidateStockSettings(dialog) != kFieldsValid) return;
  if (SaveStockSettings(dialog) != 0) return;
  CloseDialog(dialog);
  PfMessageBox("Palmロードボタンを押下しないと設定内容が有効になりません。", "注意", PF_MB_OK);
}

void OnCancel(HWND dialog) {
  CloseDialog(dialog);
  if (CurrentStockName[0] != '\0') {
    memcpy(ResultStockName, CurrentStockName, sizeof ResultStockName);
  } else {
    memset(ResultStockName, 0, sizeof ResultStockName);
  }
}

INT_PTR CALLBACK StockDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog);
      break;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: OnRegister(dialog); break;
        case IDCANCEL: OnCancel(dialog); break;
        default: break;
      }
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

int ReadStockSettings(HWND dialog) {
  int result = ReadStockFields(CurrentStockName, &Fields);
  ShowFields(dialog, &Fields);
  return result;
}

int ValidateStockSettings(HWND dialog) {
  TakeFields(dialog, &Fields);
  return ValidateStockFields(&Fields);
}

int SaveStockSettings(HWND dialog) {
  TakeFields(dialog, &Fields);
  return SaveStockFields(CurrentStockName, &Fields, ResultStockName);
}

void RunStockDialog(HINSTANCE instance) {
  DialogBoxParamW(instance, L"RECEDIT_DLG", NULL, StockDialogProc, 0);
}
