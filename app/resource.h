// Resource IDs of RyvoWin. The dialog templates (RYVOWIN_DLG,
// RYVOABOUT_DLG) and the menu (ID_MENU) are named resources and have no
// number here. Ranges:
//     1        the program icon
//   100-109    main-window commands; each bitmap button's control ID is its
//              command number (103 is free)
//   150        the stock list
//   200-224    bitmaps of the main window's buttons (pressed, normal)
//   300-320    the stock settings dialog (editor/editor_resource.h)
//   401-403    menu-only commands
#pragma once

#define IDI_RYVOWIN             1

#define IDC_EXPORT              100   // export to CSV
#define IDC_DIRECTION           101   // convert for the handheld / cancel
#define IDC_CSV_FOLDER          102   // choose the CSV folder
#define IDC_CLOSE               104   // close (also the menu item 終了)
#define IDC_MOVE_UP             105
#define IDC_MOVE_DOWN           106
#define IDC_NEW_STOCK           107   // also the menu item 新規
#define IDC_EDIT_STOCK          108   // also the menu item 更新
#define IDC_DELETE_STOCK        109   // also the menu item 削除

#define IDC_STOCK_LIST          150

#define IDC_STATIC              (-1)

// Pressed / normal picture of each button.
#define IDB_EXPORT_PRESSED      201
#define IDB_EXPORT              202   // the one 256-colour picture
#define IDB_TO_PALM_PRESSED     203   // direction button while "ToPC"
#define IDB_TO_PALM             204
#define IDB_FOLDER_PRESSED      205
#define IDB_FOLDER              206
#define IDB_EXIT_PRESSED        211
#define IDB_EXIT                212
#define IDB_UP_PRESSED          213   // 24 x 24
#define IDB_UP                  214
#define IDB_DOWN_PRESSED        215   // 24 x 24
#define IDB_DOWN                216
#define IDB_NEW_PRESSED         217
#define IDB_NEW                 218
#define IDB_EDIT_PRESSED        219
#define IDB_EDIT                220
#define IDB_DELETE_PRESSED      221
#define IDB_DELETE              222
#define IDB_CANCEL_PRESSED      223   // direction button while "ToPalm"
#define IDB_CANCEL              224

#define IDM_START_OVER          401   // 最初からやり直し
#define IDM_BEFORE_CONVERSION   402   // 変換前に戻す
#define IDM_ABOUT               403   // RyvoWinについて
