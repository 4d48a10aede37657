// Data of the main dialog (102) and the progress dialog (131).
//
// Captions are English, German, Japanese. Positions are dialog units; the
// German and Japanese layouts move or widen a few controls so that their
// longer texts are never cut off.
#include "res/dialog_templates.h"

#include <algorithm>

namespace zema {

namespace {

constexpr LanguageRects Everywhere(DialogRect rect) { return {rect, rect, rect}; }
constexpr LanguageRects PerLanguage(DialogRect english, DialogRect german, DialogRect japanese) {
  return {english, german, japanese};
}

constexpr LanguageTexts kNoCaption{"", "", ""};

constexpr const char* kPortItems[] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                      "COM6", "COM7", "COM8", "COM9"};
constexpr const char* kSpeedItems[] = {"4800 (1)", "9600 (2)", "19200 (3)", "38400 (4)",
                                       "57600 (5)"};
constexpr const char* kBankItems[] = {"0", "1", "2",  "3",  "4",  "5",  "6", "7",
                                      "8", "9", "10", "11", "12", "13", "14"};

using K = ControlKind;
constexpr bool kShown = true;
constexpr bool kHidden = false;
constexpr bool kEnabled = true;
constexpr bool kDisabled = false;

// clang-format off
constexpr ControlTemplate kMainControls[] = {
    {kCtlPortList, K::DropDownList, kNoCaption, kShown, kEnabled,
     Everywhere({73, 28, 46, 61}), kPortItems},
    {kCtlComModeBox, K::CheckBox,
     {"Com. Mode(COMMUNIC>0)", "Com. Mode(COMMUNIC>0)", "通信モード(COMMUNIC>0)"},
     kHidden, kDisabled, Everywhere({16, 38, 31, 13}), {}},
    {kCtlSpeedList, K::DropDownList, kNoCaption, kHidden, kDisabled,
     Everywhere({135, 37, 35, 53}), kSpeedItems},
    {kCtlConnect, K::Button,
     {"CONNECT", "Verbindung herstellen", "通信接続(運転停止)"},
     kShown, kEnabled,
     PerLanguage({57, 88, 90, 16}, {50, 88, 124, 16}, {57, 88, 90, 16}), {}},
    {kNoControlId, K::StaticText, {"Target Data", "Datensaetze", "対象データ"},
     kShown, kEnabled, PerLanguage({196, 17, 42, 10}, {192, 17, 46, 10}, {196, 17, 42, 10}), {}},
    {kCtlCommonParams, K::CheckBox,
     {"Common parameters", "Gemeinsame Parameter", "共通設定値"},
     kShown, kEnabled,
     PerLanguage({195, 28, 86, 14}, {190, 28, 98, 14}, {195, 28, 86, 14}), {}},
    {kCtlBrightComp, K::CheckBox,
     {"Bright Compensation", "Helligkeitskompensation", "明るさムラ補正データ"},
     kShown, kEnabled,
     PerLanguage({195, 45, 86, 14}, {190, 45, 98, 14}, {195, 45, 86, 14}), {}},
    {kCtlBankParams, K::CheckBox, {"Bank parameters", "Bank Parameter", "バンク設定値"},
     kShown, kEnabled,
     PerLanguage({195, 63, 77, 14}, {190, 63, 77, 14}, {195, 63, 77, 14}), {}},
    {kCtlPatterns, K::CheckBox, {"Patterns", "Patterns", "登録画面"},
     kHidden, kEnabled,
     PerLanguage({195, 81, 58, 14}, {190, 81, 58, 14}, {195, 81, 58, 14}), {}},
    {kCtlStartBank, K::DropDownList, kNoCaption, kShown, kEnabled,
     Everywhere({237, 106, 39, 125}), kBankItems},
    {kCtlEndBank, K::DropDownList, kNoCaption, kShown, kEnabled,
     Everywhere({237, 129, 39, 110}), kBankItems},
    {kCtlRef, K::Button, {"Ref.", "Ref.", "参照"}, kShown, kEnabled,
     Everywhere({162, 110, 21, 17}), {}},
    {kCtlBaseName, K::Edit, kNoCaption, kShown, kEnabled,
     Everywhere({7, 111, 150, 15}), {}},
    {kCtlRead, K::Button, {"READ from ZEMA", "ZEMA Parameter auslesen", "ZEMAのデータ読み出し"},
     kShown, kDisabled,
     PerLanguage({14, 130, 81, 23}, {5, 130, 96, 23}, {14, 130, 81, 23}), {}},
    {kCtlWrite, K::Button, {"WRITE to ZEMA", "ZEMA paramterieren", "ZEMAへデータ書き込み"},
     kShown, kDisabled,
     PerLanguage({103, 130, 81, 23}, {105, 130, 81, 23}, {103, 130, 81, 23}), {}},
    {kCtlRun, K::Button, {"ZEMA to RUN", "Starte ZEMA", "PC通信モード→運転"},
     kShown, kDisabled, Everywhere({57, 160, 88, 16}), {}},
    {kCtlExit, K::Button, {"EXIT", "Verlassen", "終了"}, kShown, kEnabled,
     Everywhere({217, 151, 50, 16}), {}},
    {kNoControlId, K::StaticText, {"COM Port", "COM Port", "通信ポート"}, kShown, kEnabled,
     PerLanguage({78, 17, 41, 9}, {78, 17, 41, 9}, {78, 15, 41, 11}), {}},
    {kCtlSpeedLabel, K::StaticText, {"Baud Rate (bps)", "Baudrate", "通信速度(bps)"},
     kHidden, kDisabled, Everywhere({139, 26, 36, 9}), {}},
    {kCtlLoadSaveHint, K::StaticText,
     {"Execute \"PC LOAD/SAVE\" menu.", "Menu \"PC LOAD/SAVE\" ausfuehren",
      "メインメニューからPC LOAD/SAVEモードにします。(通信速度=57600bps固定)"},
     kShown, kEnabled,
     PerLanguage({45, 60, 117, 16}, {45, 60, 122, 16}, {30, 56, 150, 24}), {}},
    {kCtlComModeNote, K::StaticText,
     {"Set to same value; Inside of ( ) and paramter value of COMMUNIC.",
      "Set to same value; Inside of ( ) and paramter value of COMMUNIC.",
      "( ) 内の数値と、ZEMAのCOMMUNICの設定値を同じにしてください。"},
     kHidden, kDisabled, Everywhere({169, 52, 16, 33}), {}},
    {kNoControlId, K::StaticText, {"Filename", "Dateiname", "ファイル名"}, kShown, kEnabled,
     PerLanguage({9, 99, 31, 11}, {9, 99, 40, 11}, {9, 99, 36, 11}), {}},
    {kNoControlId, K::StaticText, {"Start Bank No.", "Von Bank Nr.", "開始バンク"},
     kShown, kEnabled, Everywhere({185, 108, 51, 10}), {}},
    {kNoControlId, K::StaticText, {"End Bank No.", "Bis Bank Nr.", "終了バンク"},
     kShown, kEnabled, Everywhere({189, 131, 46, 10}), {}},
};

constexpr ControlTemplate kProgressControls[] = {
    {kCtlOk, K::Button, {"OK", "OK", "OK"}, kShown, kDisabled,
     PerLanguage({28, 52, 50, 16}, {50, 52, 50, 16}, {28, 52, 50, 16}), {}},
    {kCtlStepLine, K::StaticText,
     {"Initializing.......", "Initialisierung.......", "初期化中・・・"},
     kShown, kEnabled, PerLanguage({17, 7, 154, 11}, {17, 7, 200, 11}, {17, 7, 154, 11}), {}},
    {kCtlDetailLine, K::StaticText, kNoCaption, kShown, kEnabled,
     PerLanguage({17, 17, 147, 12}, {17, 17, 193, 12}, {17, 17, 147, 12}), {}},
    {kCtlProgressBar, K::ProgressBar, kNoCaption, kShown, kEnabled,
     PerLanguage({7, 34, 173, 12}, {7, 34, 219, 12}, {7, 34, 173, 12}), {}},
    {kCtlCancel, K::Button, {"CANCEL", "Abbruch", "キャンセル"}, kShown, kEnabled,
     PerLanguage({104, 52, 52, 16}, {126, 52, 52, 16}, {104, 52, 52, 16}), {}},
};
// clang-format on

constexpr DialogTemplate kMainDialog{
    kMainDialogTemplate,
    {"ZEMA Data Loader ver.1.0", "ZEMA Parametertransfer Software ver.1.0",
     "ZEMA Data Loader ver.1.0"},
    {DialogRect{0, 0, 286, 186}, DialogRect{0, 0, 294, 186}, DialogRect{0, 0, 286, 186}},
    "MS UI Gothic",
    10,
    // The template's place is the screen's corner (0, 0); a program's main
    // window opens in the middle of the screen.
    /*centered=*/true,
    /*showInTaskbar=*/true,
    kMainControls,
};

constexpr DialogTemplate kProgressDialog{
    kProgressDialogTemplate,
    {"Communication", "Kommunikation", "通信"},
    {DialogRect{0, 0, 187, 75}, DialogRect{0, 0, 233, 75}, DialogRect{0, 0, 187, 75}},
    "MS UI Gothic",
    10,
    /*centered=*/true,
    /*showInTaskbar=*/false,
    kProgressControls,
};

}  // namespace

const ControlTemplate* DialogTemplate::FindControl(int controlId) const {
  if (controlId == kNoControlId) return nullptr;
  auto it = std::find_if(controls.begin(), controls.end(),
                         [controlId](const ControlTemplate& c) { return c.id == controlId; });
  return it == controls.end() ? nullptr : &*it;
}

const DialogTemplate& MainDialogTemplate() { return kMainDialog; }
const DialogTemplate& ProgressDialogTemplate() { return kProgressDialog; }

}  // namespace zema
