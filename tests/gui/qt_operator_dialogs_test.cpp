// Message boxes as the operator sees them: caption, icon, text, buttons in
// the user's language, and the answer that comes back.
#include "ui/qt/qt_operator_dialogs.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <string>
#include <vector>

#include "res/messages.h"
#include "tests/gui/box_answerer.h"
#include "ui/qt/qt_translations.h"

namespace zema {

namespace {

class QtOperatorDialogsTest : public ::testing::Test {
 protected:
  void TearDown() override { InstallQtTranslations(Language::English); }
  QtOperatorDialogs dialogs{nullptr};
};

struct QuestionCase {
  const char* caption;
  BoxIcon icon;
  QMessageBox::Icon qtIcon;
  QMessageBox::StandardButton press;
  bool expected;
};

TEST_F(QtOperatorDialogsTest, QuestionsCarryCaptionIconAndReturnOnlyYesAsTrue) {
  const QuestionCase cases[] = {
      {"Question", BoxIcon::Question, QMessageBox::Question, QMessageBox::Yes, true},
      {"Warning", BoxIcon::Warning, QMessageBox::Warning, QMessageBox::No, false},
      {"Warning!", BoxIcon::Warning, QMessageBox::Warning, QMessageBox::Yes, true},
      {"Error", BoxIcon::Warning, QMessageBox::Warning, QMessageBox::No, false},
      // Esc counts as No.
      {"Question", BoxIcon::Question, QMessageBox::Question, QMessageBox::Cancel, false},
  };
  for (const QuestionCase& c : cases) {
    SCOPED_TRACE(c.caption);
    BoxAnswerer answerer(c.press);
    const std::string text = "<b>not markup</b> C:\\data\\line1";
    EXPECT_EQ(dialogs.AskYesNo(0, text, c.caption, c.icon), c.expected);
    ASSERT_TRUE(answerer.seen().has_value());
    EXPECT_EQ(answerer.seen()->caption, c.caption);
    EXPECT_EQ(answerer.seen()->text, text);
    EXPECT_EQ(answerer.seen()->icon, c.qtIcon);
    EXPECT_EQ(answerer.seen()->buttons, (std::vector<std::string>{"&No", "&Yes"}));
  }
}

TEST_F(QtOperatorDialogsTest, ErrorsShowTheStopIconAndAnOkButton) {
  BoxAnswerer answerer(QMessageBox::Ok);
  dialogs.ShowError(LoadMessage(kMsgComOpenFailed, Language::English));
  ASSERT_TRUE(answerer.seen().has_value());
  EXPECT_EQ(answerer.seen()->caption, "Error");
  EXPECT_EQ(answerer.seen()->text, "Failed to open COM port.");
  EXPECT_EQ(answerer.seen()->icon, QMessageBox::Critical);
  EXPECT_EQ(answerer.seen()->buttons, (std::vector<std::string>{"OK"}));
  EXPECT_EQ(answerer.seen()->informativeText, "");

  // The system's cause goes under the text, never read as markup; a word
  // with a folder separator is never wrapped inside (a word joiner after
  // each separator and hyphen), in the text as in the detail.
  const std::string j = "\u2060";
  BoxAnswerer withDetail(QMessageBox::Ok);
  dialogs.ShowError("Failed to create the file /tmp/line-1.prM.zema.",
                    "/dev/ttyS2: <b>Permission</b> denied");
  ASSERT_TRUE(withDetail.seen().has_value());
  EXPECT_EQ(withDetail.seen()->text,
            "Failed to create the file /" + j + "tmp/" + j + "line-" + j + "1.prM.zema.");
  EXPECT_EQ(withDetail.seen()->informativeText,
            "/" + j + "dev/" + j + "ttyS2: <b>Permission</" + j + "b> denied");
  EXPECT_EQ(withDetail.seen()->informativeFormat, Qt::PlainText);
}

TEST_F(QtOperatorDialogsTest, YesAndNoFollowTheUserLanguageWhileCaptionsStayEnglish) {
  struct LanguageCase {
    Language language;
    std::vector<std::string> buttons;
  };
  const LanguageCase cases[] = {
      {Language::German, {"&Ja", "&Nein"}},
      {Language::English, {"&No", "&Yes"}},
  };
  for (const LanguageCase& c : cases) {
    InstallQtTranslations(c.language);
    BoxAnswerer answerer(QMessageBox::Yes);
    EXPECT_TRUE(dialogs.AskYesNo(kMsgAgreeToExit, LoadMessage(kMsgAgreeToExit, c.language),
                                 "Question", BoxIcon::Question));
    ASSERT_TRUE(answerer.seen().has_value());
    EXPECT_EQ(answerer.seen()->buttons, c.buttons);
    EXPECT_EQ(answerer.seen()->caption, "Question");
  }

  ASSERT_TRUE(InstallQtTranslations(Language::Japanese));
  BoxAnswerer answerer(QMessageBox::No);
  EXPECT_FALSE(dialogs.AskYesNo(0, "?", "Question", BoxIcon::Question));
  ASSERT_TRUE(answerer.seen().has_value());
  EXPECT_NE(answerer.seen()->buttons, (std::vector<std::string>{"&No", "&Yes"}));
}

}  // namespace

}  // namespace zema
