// The two dialogs as the operator sees them: every control of templates 102
// and 131 built with its id, kind, caption, initial state and list entries in
// each language, laid out so that no visible text is cut off.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <string>
#include <vector>

#include "res/dialog_templates.h"
#include "ui/qt/qt_dialog_controls.h"
#include "ui/qt/template_dialog.h"

namespace zema {

namespace {

constexpr Language kLanguages[] = {Language::English, Language::German, Language::Japanese};

enum Vis { Shown, Hidden };
enum Ena { Enabled, Disabled };
enum List { NoList, Ports, Speeds, Banks };

struct Expected {
  int id;
  ControlKind kind;
  const char* english;
  const char* german;
  const char* japanese;
  Vis visible;
  Ena enabled;
  List list;

  const char* Caption(Language language) const {
    return language == Language::German ? german
           : language == Language::Japanese ? japanese
                                              : english;
  }
};

using K = ControlKind;

// The main dialog as the operator knows it, in tab order.
const Expected kMainDialog[] = {
    {1000, K::DropDownList, "", "", "", Shown, Enabled, Ports},
    {1003, K::CheckBox, "Com. Mode(COMMUNIC>0)", "Com. Mode(COMMUNIC>0)",
     "通信モード(COMMUNIC>0)", Hidden, Disabled, NoList},
    {1002, K::DropDownList, "", "", "", Hidden, Disabled, Speeds},
    {1037, K::Button, "CONNECT", "Verbindung herstellen", "通信接続(運転停止)", Shown, Enabled,
     NoList},
    {-1, K::StaticText, "Target Data", "Datensaetze", "対象データ", Shown, Enabled, NoList},
    {1005, K::CheckBox, "Common parameters", "Gemeinsame Parameter", "共通設定値", Shown,
     Enabled, NoList},
    {1008, K::CheckBox, "Bright Compensation", "Helligkeitskompensation", "明るさムラ補正データ",
     Shown, Enabled, NoList},
    {1006, K::CheckBox, "Bank parameters", "Bank Parameter", "バンク設定値", Shown, Enabled,
     NoList},
    {1007, K::CheckBox, "Patterns", "Patterns", "登録画面", Hidden, Enabled, NoList},
    {1041, K::DropDownList, "", "", "", Shown, Enabled, Banks},
    {1042, K::DropDownList, "", "", "", Shown, Enabled, Banks},
    {1043, K::Button, "Ref.", "Ref.", "参照", Shown, Enabled, NoList},
    {1004, K::Edit, "", "", "", Shown, Enabled, NoList},
    {3, K::Button, "READ from ZEMA", "ZEMA Parameter auslesen", "ZEMAのデータ読み出し", Shown,
     Disabled, NoList},
    {4, K::Button, "WRITE to ZEMA", "ZEMA paramterieren", "ZEMAへデータ書き込み", Shown, Disabled,
     NoList},
    {5, K::Button, "ZEMA to RUN", "Starte ZEMA", "PC通信モード→運転", Shown, Disabled, NoList},
    {1, K::Button, "EXIT", "Verlassen", "終了", Shown, Enabled, NoList},
    {-1, K::StaticText, "COM Port", "COM Port", "通信ポート", Shown, Enabled, NoList},
    {1044, K::StaticText, "Baud Rate (bps)", "Baudrate", "通信速度(bps)", Hidden, Disabled,
     NoList},
    {1039, K::StaticText, "Execute \"PC LOAD/SAVE\" menu.", "Menu \"PC LOAD/SAVE\" ausfuehren",
     "メインメニューからPC LOAD/SAVEモードにします。(通信速度=57600bps固定)", Shown, Enabled,
     NoList},
    {1040, K::StaticText, "Set to same value; Inside of ( ) and paramter value of COMMUNIC.",
     "Set to same value; Inside of ( ) and paramter value of COMMUNIC.",
     "( ) 内の数値と、ZEMAのCOMMUNICの設定値を同じにしてください。", Hidden, Disabled, NoList},
    {-1, K::StaticText, "Filename", "Dateiname", "ファイル名", Shown, Enabled, NoList},
    {-1, K::StaticText, "Start Bank No.", "Von Bank Nr.", "開始バンク", Shown, Enabled, NoList},
    {-1, K::StaticText, "End Bank No.", "Bis Bank Nr.", "終了バンク", Shown, Enabled, NoList},
};

const Expected kProgressDialog[] = {
    {1, K::Button, "OK", "OK", "OK", Shown, Disabled, NoList},
    {1051, K::StaticText, "Initializing.......", "Initialisierung.......", "初期化中・・・", Shown,
     Enabled, NoList},
    {1053, K::StaticText, "", "", "", Shown, Enabled, NoList},
    {1050, K::ProgressBar, "", "", "", Shown, Enabled, NoList},
    {1052, K::Button, "CANCEL", "Abbruch", "キャンセル", Shown, Enabled, NoList},
};

std::vector<std::string> ListEntries(List list) {
  switch (list) {
    case Ports:
      return {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"};
    case Speeds:
      return {"4800 (1)", "9600 (2)", "19200 (3)", "38400 (4)", "57600 (5)"};
    case Banks:
      return {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"};
    case NoList:
      break;
  }
  return {};
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case K::DropDownList: return "QComboBox";
    case K::CheckBox: return "QCheckBox";
    case K::Button: return "QPushButton";
    case K::StaticText: return "QLabel";
    case K::Edit: return "QLineEdit";
    case K::ProgressBar: return "QProgressBar";
  }
  return "";
}

QString WidgetText(const QWidget* widget) {
  if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
  return {};
}

struct DialogCase {
  const char* name;
  const DialogTemplate& (*dialogTemplate)();
  const Expected* controls;
  std::size_t count;
  const char* titles[3];
};

const DialogCase kDialogs[] = {
    {"main", MainDialogTemplate, kMainDialog, std::size(kMainDialog),
     {"ZEMA Data Loader ver.1.0", "ZEMA Parametertransfer Software ver.1.0",
      "ZEMA Data Loader ver.1.0"}},
    {"progress", ProgressDialogTemplate, kProgressDialog, std::size(kProgressDialog),
     {"Communication", "Kommunikation", "通信"}},
};

// The dialog's children in creation order (= tab order), labels included.
std::vector<QWidget*> ControlsInOrder(const TemplateDialog& dialog) {
  std::vector<QWidget*> result;
  for (QObject* child : dialog.children()) {
    if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow()) {
      result.push_back(widget);
    }
  }
  return result;
}

TEST(TemplateDialog, BuildsEveryControlOfBothTemplatesInEachLanguage) {
  for (const DialogCase& dialogCase : kDialogs) {
    for (Language language : kLanguages) {
      SCOPED_TRACE(std::string(dialogCase.name) + " language " +
                   std::to_string(static_cast<int>(language)));
      TemplateDialog dialog(dialogCase.dialogTemplate(), language);
      dialog.show();
      EXPECT_EQ(dialog.windowTitle().toStdString(),
                dialogCase.titles[static_cast<int>(language)]);

      const std::vector<QWidget*> widgets = ControlsInOrder(dialog);
      ASSERT_EQ(widgets.size(), dialogCase.count);
      for (std::size_t i = 0; i < dialogCase.count; ++i) {
        const Expected& expected = dialogCase.controls[i];
        QWidget* widget = widgets[i];
        SCOPED_TRACE("control " + std::to_string(expected.id) + " at " + std::to_string(i));
        if (expected.id != kNoControlId) {
          EXPECT_EQ(dialog.Control(expected.id), widget);
        }
        EXPECT_TRUE(widget->inherits(KindName(expected.kind)));
        EXPECT_EQ(WidgetText(widget).toStdString(), expected.Caption(language));
        EXPECT_EQ(widget->isVisible(), expected.visible == Shown);
        EXPECT_EQ(widget->isEnabled(), expected.enabled == Enabled);

        if (auto* list = qobject_cast<QComboBox*>(widget)) {
          std::vector<std::string> entries;
          for (int row = 0; row < list->count(); ++row) {
            entries.push_back(list->itemText(row).toStdString());
          }
          EXPECT_EQ(entries, ListEntries(expected.list));
          EXPECT_EQ(list->currentIndex(), -1) << "lists start without a selection";
        } else {
          EXPECT_EQ(expected.list, NoList);
        }
      }
    }
  }
}

// Room a push button or check box needs for its caption in its style.
int NeededWidth(const QAbstractButton& button) {
  const QFontMetrics metrics(button.font());
  const int textWidth = metrics.horizontalAdvance(button.text());
  if (qobject_cast<const QCheckBox*>(&button)) {
    QStyleOptionButton option;
    option.initFrom(&button);
    const int indicator = button.style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, &button);
    const int spacing =
        button.style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, &button);
    return indicator + spacing + textWidth;
  }
  // The caption is drawn inside the frame; keep at least one button margin
  // around it so that it does not touch the frame either.
  const int frame = button.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
  const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
  return textWidth + 2 * frame + margin;
}

// A label wraps at blanks; a single word wider than the label would be cut.
// (Japanese text breaks between any two characters.)
bool EveryWordFits(const QLabel& label) {
  const QFontMetrics metrics(label.font());
  for (const QString& word : label.text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const bool breakable = std::any_of(word.begin(), word.end(),
                                       [](QChar c) { return c.unicode() >= 0x3000; });
    if (!breakable && metrics.horizontalAdvance(word) > label.width()) return false;
  }
  return true;
}

bool LabelShowsWholeText(const QLabel& label) {
  return label.heightForWidth(label.width()) <= label.height() && EveryWordFits(label);
}

TEST(TemplateDialog, NoVisibleTextIsCutOffInAnyLanguage) {
  for (const DialogCase& dialogCase : kDialogs) {
    for (Language language : kLanguages) {
      TemplateDialog dialog(dialogCase.dialogTemplate(), language);
      dialog.show();
      const QRect client = dialog.rect();
      for (QWidget* widget : ControlsInOrder(dialog)) {
        if (!widget->isVisible()) continue;
        SCOPED_TRACE(std::string(dialogCase.name) + " language " +
                     std::to_string(static_cast<int>(language)) + ": \"" +
                     WidgetText(widget).toStdString() + "\"");
        EXPECT_TRUE(client.contains(widget->geometry()));
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
          EXPECT_LE(NeededWidth(*button), button->width());
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
          EXPECT_TRUE(LabelShowsWholeText(*label));
        }
      }
    }
  }
}

TEST(TemplateDialog, CaptionsThatTheProgramSetsLaterFitTheirControlsToo) {
  // CONNECT shows "Confirm Communication" or "CONNECT(Stop ZEMA)" once the
  // dialog is initialised; the longest language decides.
  for (Language language : kLanguages) {
    TemplateDialog dialog(MainDialogTemplate(), language);
    dialog.show();
    auto* connect = dialog.ControlAs<QPushButton>(kCtlConnect);
    ASSERT_NE(connect, nullptr);
    for (int message : {kMsgConnectStopZema, kMsgConfirmCommunication}) {
      connect->setText(QString::fromStdString(LoadMessage(message, language)));
      EXPECT_LE(NeededWidth(*connect), connect->width()) << connect->text().toStdString();
    }
  }
}

TEST(TemplateDialog, EveryTextOfARunFitsTheProgressLines) {
  const int stepTexts[] = {
      kMsgReadingBankParams,   kMsgReadingCommonParams, kMsgReadingCompensation,
      kMsgReadingPatterns,     kMsgWritingBankParams,   kMsgWritingCommonParams,
      kMsgWritingCompensation, kMsgWritingPatterns,     kMsgAborted,
      kMsgNoTargetForReading,  kMsgNoTargetForWriting,  kMsgReadingCompleted,
      kMsgWritingCompleted};
  for (Language language : kLanguages) {
    TemplateDialog dialog(ProgressDialogTemplate(), language);
    dialog.show();
    auto* step = dialog.ControlAs<QLabel>(kCtlStepLine);
    auto* detail = dialog.ControlAs<QLabel>(kCtlDetailLine);
    ASSERT_NE(step, nullptr);
    ASSERT_NE(detail, nullptr);
    for (int message : stepTexts) {
      step->setText(QString::fromStdString(LoadMessage(message, language)));
      EXPECT_TRUE(LabelShowsWholeText(*step)) << step->text().toStdString();
    }
    for (const std::string& text :
         {LoadMessage(kMsgBankNo, language) + " = 14", LoadMessage(kMsgWritingFlash, language)}) {
      detail->setText(QString::fromStdString(text));
      EXPECT_TRUE(LabelShowsWholeText(*detail)) << text;
    }
  }
}

TEST(DialogUnits, ScaleWithTheFontSoTheLayoutKeepsItsProportions) {
  const DialogUnits units(6, 13);
  EXPECT_EQ(units.ToPixels({4, 8, 286, 186}), QRect(6, 13, 429, 302));
  EXPECT_EQ(units.ToPixelsX(1), 2);  // 1.5 rounds up
  EXPECT_EQ(units.ToPixelsY(3), 5);  // 4.875

  QFont small = QApplication::font();
  small.setPointSize(8);
  QFont large = small;
  large.setPointSize(16);
  const DialogUnits smallUnits = DialogUnits::ForFont(small);
  const DialogUnits largeUnits = DialogUnits::ForFont(large);
  EXPECT_GT(largeUnits.baseX(), smallUnits.baseX());
  EXPECT_GT(largeUnits.baseY(), smallUnits.baseY());
}

TEST(QtDialogControls, ActOnTheControlWithThatIdAndIgnoreOthers) {
  TemplateDialog dialog(MainDialogTemplate(), Language::English);
  QtDialogControls controls(dialog);

  controls.SetListSelection(kCtlPortList, 2);
  EXPECT_EQ(controls.ListSelection(kCtlPortList), 2);
  EXPECT_EQ(controls.ControlText(kCtlPortList), "COM3");
  controls.SetListSelection(kCtlPortList, 9);  // past the end clears it
  EXPECT_EQ(controls.ListSelection(kCtlPortList), -1);

  controls.SetChecked(kCtlComModeBox, true);  // hidden, still usable
  EXPECT_TRUE(controls.IsChecked(kCtlComModeBox));
  controls.EnableControl(kCtlSpeedList, true);
  EXPECT_TRUE(controls.IsControlEnabled(kCtlSpeedList));

  controls.SetControlText(kCtlBaseName, "C:\\data\\Müller");
  EXPECT_EQ(controls.ControlText(kCtlBaseName), "C:\\data\\Müller");
  controls.SetControlText(kCtlConnect, "通信確認");
  EXPECT_EQ(dialog.ControlAs<QPushButton>(kCtlConnect)->text(), QStringLiteral("通信確認"));

  // Unknown ids and calls that do not fit the kind change nothing.
  controls.EnableControl(4711, true);
  EXPECT_FALSE(controls.IsControlEnabled(4711));
  controls.SetChecked(kCtlPortList, true);
  EXPECT_FALSE(controls.IsChecked(kCtlPortList));
  EXPECT_EQ(controls.ListSelection(kCtlConnect), -1);
  EXPECT_EQ(dialog.Control(kNoControlId), nullptr);
}

TEST(QtDialogControls, FocusGoesToTheNamedControl) {
  TemplateDialog dialog(MainDialogTemplate(), Language::English);
  QtDialogControls controls(dialog);
  dialog.show();
  controls.EnableControl(kCtlRun, true);
  controls.SetFocusTo(kCtlRun);
  EXPECT_EQ(dialog.focusWidget(), dialog.Control(kCtlRun));
  controls.SetFocusTo(kCtlConnect);
  EXPECT_EQ(dialog.focusWidget(), dialog.Control(kCtlConnect));
}

}  // namespace

}  // namespace zema
