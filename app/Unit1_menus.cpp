// The main window's menu bar and pop-up menus, built from one table of
// {menu, component name, caption, radio group, check mark, handler}.
#include "app/Unit1.h"

#include <QMenu>
#include <QMenuBar>

namespace {
using F = TForm1;
} // namespace

// Order is the menus' order. Items with no handler belong to commands that
// arrive with their windows and dialogs, or have no action.
static const TForm1::MenuDef kMenus[] = {
    {"", "File1", "フォルダ(&F)"},
    {"File1", "New1", "新規作成", nullptr, false, false, nullptr, 0, &F::New1Click},
    {"File1", "GoTo2", "移動", nullptr, false, false, nullptr, 0, &F::GoTo2Click},
    {"File1", "Copy2", "コピー", nullptr, false, false, nullptr, 0, &F::Copy2Click},
    {"File1", "Delete1", "削除", nullptr, false, false, nullptr, 0, &F::Delete1Click},
    {"File1", "Rename1", "名前の変更", nullptr, false, false, nullptr, 0, &F::Rename1Click},
    {"File1", "-", nullptr},
    {"File1", "N53", "お気に入り追加", nullptr, false, false, nullptr, 0, &F::N53Click},
    {"File1", "N54", "お気に入り編集", nullptr, false, false, nullptr, 0, &F::N54Click},
    {"File1", "-", nullptr},
    {"File1", "N11", "起動フォルダ設定"},
    {"N11", "N2", "参照", nullptr, false, false, nullptr, 0, &F::N2Click},
    {"File1", "-", nullptr},
    {"File1", "Close1", "終了(&C)", nullptr, false, false, nullptr, 0, &F::Close1Click},

    {"", "Edit3", "画像"},
    {"Edit3", "Cut1", "切り取り", nullptr, false, false, nullptr, 0, &F::Cut1Click},
    {"Edit3", "Copy1", "コピー", nullptr, false, false, nullptr, 0, &F::Copy1Click},
    {"Edit3", "Paste1", "貼り付け", nullptr, false, false, nullptr, 0, &F::Paste1Click},
    {"Edit3", "Delete2", "削除", nullptr, false, false, nullptr, 0, &F::Delete2Click},
    {"Edit3", "-", nullptr},
    {"Edit3", "SelectAll1", "すべて選択", nullptr, false, false, nullptr, 0, &F::SelectAll1Click},
    {"Edit3", "-", nullptr},
    {"Edit3", "N26", "フォルダへ移動", nullptr, false, false, nullptr, 0, &F::N26Click},
    {"Edit3", "Copy4", "フォルダへコピー", nullptr, false, false, nullptr, 0, &F::Copy4Click},
    {"Edit3", "N21", "関連付けで開く", nullptr, false, false, nullptr, 0, &F::N21Click},
    {"Edit3", "-", nullptr},
    {"Edit3", "BMP1", "BMPに一括変換", nullptr, false, false, nullptr, 0, &F::BMP1Click},
    {"Edit3", "JPEG1", "JPEGに一括変換", nullptr, false, false, nullptr, 0, &F::JPEG1Click},
    {"Edit3", "JPEG4", "JPEG保存画質"},
    {"JPEG4", "JPG100", "100", "quality", false, false, &F::QualityCommand, 100},
    {"JPEG4", "JPG95", "95", "quality", false, false, &F::QualityCommand, 95},
    {"JPEG4", "JPG90", "90", "quality", false, true, &F::QualityCommand, 90},
    {"JPEG4", "JPG85", "85", "quality", false, false, &F::QualityCommand, 85},
    {"JPEG4", "JPG80", "80", "quality", false, false, &F::QualityCommand, 80},
    {"JPEG4", "JPG75", "75", "quality", false, false, &F::QualityCommand, 75},
    {"JPEG4", "JPG70", "70", "quality", false, false, &F::QualityCommand, 70},
    {"JPEG4", "JPG65", "65", "quality", false, false, &F::QualityCommand, 65},
    {"JPEG4", "JPG60", "60", "quality", false, false, &F::QualityCommand, 60},
    {"JPEG4", "JPG55", "55", "quality", false, false, &F::QualityCommand, 55},
    {"JPEG4", "JPG50", "50", "quality", false, false, &F::QualityCommand, 50},

    {"", "Disp1", "表示(&V)"},
    {"Disp1", "N3", "次の行", nullptr, false, false, &F::PagingCommand, 0},
    {"Disp1", "N12", "前の行", nullptr, false, false, &F::PagingCommand, 1},
    {"Disp1", "N6", "次のページ", nullptr, false, false, &F::PagingCommand, 2},
    {"Disp1", "N7", "前のページ", nullptr, false, false, &F::PagingCommand, 3},
    {"Disp1", "N8", "最初のページ", nullptr, false, false, &F::PagingCommand, 4},
    {"Disp1", "N9", "最終ページ", nullptr, false, false, &F::PagingCommand, 5},
    {"Disp1", "-", nullptr},
    {"Disp1", "N1", "縮小画像サイズ"},
    {"N1", "N13", "40x30", "size", false, false, &F::SizeCommand, 0},
    {"N1", "N60x452", "60x45", "size", false, false, &F::SizeCommand, 1},
    {"N1", "N80x602", "80x60", "size", false, false, &F::SizeCommand, 2},
    {"N1", "N100x752", "100x75", "size", false, true, &F::SizeCommand, 3},
    {"N1", "N120x902", "120x90", "size", false, false, &F::SizeCommand, 4},
    {"Disp1", "N34", "拡張子"},
    {"N34", "BMP2", "BMP", "ext", false, false, &F::ExtCommand, 0},
    {"N34", "JPEG2", "JPEG", "ext", false, false, &F::ExtCommand, 1},
    {"N34", "BMPJPEG1", "BMP/JPEG", "ext", false, true, &F::ExtCommand, 2},
    {"N34", "ALLIMG1", "すべての画像", "ext", false, false, &F::ExtCommand, 3},
    {"Disp1", "Sort1", "並べ替え(&I)"},
    {"Sort1", "Name1", "名前", "sort", false, true, &F::SortCommand, 0},
    {"Sort1", "Size1", "サイズ", "sort", false, false, &F::SortCommand, 1},
    {"Sort1", "Date1", "日付", "sort", false, false, &F::SortCommand, 2},
    {"Sort1", "Type1", "ファイルタイプ", "sort", false, false, &F::SortCommand, 3},
    {"Disp1", "-", nullptr},
    {"Disp1", "Refresh1", "最新の情報に更新(&R)", nullptr, false, false, nullptr, 0, &F::Refresh1Click},
    {"Disp1", "-", nullptr},
    {"Disp1", "N17", "フォルダリスト/ファイルリスト", nullptr, true, true, nullptr, 0, &F::N17Click},
    {"Disp1", "V1", "メインウインドウビュー", nullptr, true, false, nullptr, 0, &F::V1Click},
    {"Disp1", "ColourManage1", "カラーマネジメント", nullptr, true, true, nullptr, 0, &F::ColourManage1Click},
    {"Disp1", "N37", "表示方法"},
    {"N37", "N29", "そのまま", "mode", false, false, &F::DispModeCommand, 0},
    {"N37", "N35", "画像をウインドウに合わせる", "mode", false, true, &F::DispModeCommand, 1},
    {"N37", "N39", "大きい画像だけウインドウに合わせる", "mode", false, false, &F::DispModeCommand, 2},
    {"N37", "N36", "縦横比を保持しない", "mode", false, false, &F::DispModeCommand, 3},

    {"", "ool1", "ツール"},
    {"ool1", "N43", "ファイルリストビュー", nullptr, false, false, nullptr, 0, &F::N43Click},
    {"ool1", "N46", "フルスクリーンビュー", nullptr, false, false, nullptr, 0, &F::N46Click},
    {"ool1", "N40", "選択画像をスライドビュー", nullptr, false, false, nullptr, 0, &F::N40Click},
    {"ool1", "-", nullptr},
    {"ool1", "N15", "ルーペ表示", nullptr, false, false, nullptr, 0, &F::N15Click},
    {"ool1", "N44", "ルーペ非表示", nullptr, false, false, nullptr, 0, &F::N44Click},
    {"ool1", "N55", "ルーペバー", nullptr, false, false, nullptr, 0, &F::N55Click},
    {"ool1", "-", nullptr},
    {"ool1", "Explore1", "エクスプローラ起動", nullptr, false, false, nullptr, 0, &F::Explore1Click},

    {"", "N27", "ウインドウ"},
    {"N27", "N38", "ウインドウサイズ"},
    {"N38", "N501", "50%", nullptr, false, false, &F::WindowSizeCommand, 50},
    {"N38", "N601", "60%", nullptr, false, false, &F::WindowSizeCommand, 60},
    {"N38", "N701", "70%", nullptr, false, false, &F::WindowSizeCommand, 70},
    {"N38", "N801", "80%", nullptr, false, false, &F::WindowSizeCommand, 80},
    {"N38", "N901", "90%", nullptr, false, false, &F::WindowSizeCommand, 90},
    {"N38", "N1001", "100%", nullptr, false, false, &F::WindowSizeCommand, 100},

    {"", "Help1", "ヘルプ(&H)"},
    {"Help1", "About1", "バージョン情報", nullptr, false, false, nullptr, 0, &F::About1Click},

    {"", "N61", "その他"},
    {"N61", "N63", "キャッシュファイル削除", nullptr, false, false, nullptr, 0, &F::N63Click},
    {"N61", "N52", "ファイル名で選択", nullptr, false, false, nullptr, 0, &F::N52Click},
    {"N61", "N59", "日付で選択"},
    {"N61", "N33", "背景色"},
    {"N33", "ViewStyle1", "白(&1)", "style", false, false, &F::ViewStyleCommand, 0},
    {"N33", "ViewStyle2", "黒(&2)", "style", false, false, &F::ViewStyleCommand, 1},
    {"N33", "ViewStyle3", "灰(&3)", "style", false, true, &F::ViewStyleCommand, 2},
    {"N33", "ViewStyle4", "青(&4)", "style", false, false, &F::ViewStyleCommand, 3},
    {"N33", "ViewStyle5", "桃(&5)", "style", false, false, &F::ViewStyleCommand, 4},
    {"N33", "ViewStyle6", "緑(&6)", "style", false, false, &F::ViewStyleCommand, 5},
    {"N61", "Veiw1", "スライドビューウインドウ呼び出し", nullptr, false, false, nullptr, 0, &F::Veiw1Click},
    {"N61", "N24", "アプリケーションを開く"},
    {"N24", "", "参照"},

    // The folder tree's pop-up.
    {"PopupMenu1", "New2", "新規作成", nullptr, false, false, nullptr, 0, &F::New1Click},
    {"PopupMenu1", "GoTo3", "移動", nullptr, false, false, nullptr, 0, &F::GoTo2Click},
    {"PopupMenu1", "Copy3", "コピー", nullptr, false, false, nullptr, 0, &F::Copy2Click},
    {"PopupMenu1", "Delete3", "削除", nullptr, false, false, nullptr, 0, &F::Delete1Click},
    {"PopupMenu1", "Rename2", "名前の変更", nullptr, false, false, nullptr, 0, &F::Rename1Click},

    // The preview's pop-up; its display modes share the main menu's handler.
    {"PopupMenu2", "Open1", "関連付けで開く", nullptr, false, false, nullptr, 0, &F::Open1Click},
    {"PopupMenu2", "Rename3", "名前の変更", nullptr, false, false, nullptr, 0, &F::Rename3Click},
    {"PopupMenu2", "-", nullptr},
    {"PopupMenu2", "N32", "クリップボードへ", nullptr, false, false, nullptr, 0, &F::N32Click},
    {"PopupMenu2", "Save1", "保存", nullptr, false, false, nullptr, 0, &F::Save1Click},
    {"PopupMenu2", "N42", "ルーペ画面を保存", nullptr, false, false, nullptr, 0, &F::N42Click},
    {"PopupMenu2", "-", nullptr},
    {"PopupMenu2", "BMP3", "BMPに変換", nullptr, false, false, nullptr, 0, &F::BMP3Click},
    {"PopupMenu2", "JPEG3", "JPEGに変換", nullptr, false, false, nullptr, 0, &F::JPEG3Click},
    {"PopupMenu2", "-", nullptr},
    {"PopupMenu2", "N85", "そのまま", "popupmode", false, false, &F::DispModeCommand, 0},
    {"PopupMenu2", "N86", "画像をウインドウに合わせる", "popupmode", false, true, &F::DispModeCommand, 1},
    {"PopupMenu2", "N87", "大きい画像だけウインドウに合わせる", "popupmode", false, false, &F::DispModeCommand, 2},
    {"PopupMenu2", "N88", "縦横比を保持しない", "popupmode", false, false, &F::DispModeCommand, 3},
};

void TForm1::buildMenus()
{
    for (const char* name : {"PopupMenu1", "PopupMenu2"}) {
        auto* popup = new QMenu(this);
        popup->setObjectName(QString::fromLatin1(name));
        m_menus.addPopup(popup);
    }
    m_menus.build(this, menuBar(), kMenus);
}

void TForm1::checkItemsOf(void (TForm1::*command)(int), int arg)
{
    m_menus.checkItemsOf(kMenus, command, arg);
}
