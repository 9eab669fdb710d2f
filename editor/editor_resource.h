// Resource IDs of the stock settings dialog RECEDIT_DLG (the editor's part
// of RyvoWin's resources). Range 300-320 for its controls; 999 for labels,
// which do nothing. IDOK (1, 登録) and IDCANCEL (2, ｷｬﾝｾﾙ) are its buttons.
// RyvoWin's own resource.h keeps 100-224 and 400-403, clear of this range.
#pragma once

#define IDC_STOCK_LABEL        999   // every label

#define IDC_STOCK_ONLYCLOSE    300   // check box １本値     (line 2)
#define IDC_STOCK_NAME         301   // edit 銘柄名          (line 1)
#define IDC_STOCK_WEBSCRAP     302   // check box Webスクラップ (line 3)
#define IDC_STOCK_DOCUMENT     303   // edit ドキュメント    (line 5)
#define IDC_STOCK_PURCHASE     304   // edit 購買数          (line 7)
#define IDC_STOCK_KEYWORD      305   // edit キーワード      (line 6)
#define IDC_STOCK_OPEN_ROW     306   // Web fetch rows and tags (lines 8-12)
#define IDC_STOCK_OPEN_TAG     307
#define IDC_STOCK_HIGH_ROW     308
#define IDC_STOCK_HIGH_TAG     309
#define IDC_STOCK_LOW_ROW      310
#define IDC_STOCK_LOW_TAG      311
#define IDC_STOCK_CLOSE_ROW    312
#define IDC_STOCK_CLOSE_TAG    313
#define IDC_STOCK_VOLUME_ROW   314
#define IDC_STOCK_VOLUME_TAG   315
#define IDC_STOCK_FIXEDSCALE   316   // check box 固定スケール (line 4)
#define IDC_STOCK_PRICE_MAX    317   // fixed scales (lines 13-14)
#define IDC_STOCK_PRICE_MIN    318
#define IDC_STOCK_VOLUME_MAX   319
#define IDC_STOCK_VOLUME_MIN   320
