// The message table and the choice of language.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "res/message_table.h"
#include "res/messages.h"

namespace zema {

namespace {

class EnvironmentGuard {
 public:
  EnvironmentGuard() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_[Index(name)] = value ? std::optional<std::string>(value) : std::nullopt;
    }
  }
  ~EnvironmentGuard() {
    for (const char* name : kNames) {
      const auto& value = saved_[Index(name)];
      if (value) ::setenv(name, value->c_str(), 1); else ::unsetenv(name);
    }
  }
  void Set(const char* lcAll, const char* lcMessages, const char* lang) {
    Put("LC_ALL", lcAll);
    Put("LC_MESSAGES", lcMessages);
    Put("LANG", lang);
  }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  static std::size_t Index(const char* name) {
    for (std::size_t i = 0; i < 3; ++i) if (std::string(kNames[i]) == name) return i;
    return 0;
  }
  static void Put(const char* name, const char* value) {
    if (value) ::setenv(name, value, 1); else ::unsetenv(name);
  }
  std::optional<std::string> saved_[3];
};

struct LanguageCase {
  const char* lcAll;
  const char* lcMessages;
  const char* lang;
  Language expected;
};

TEST(Language, FirstSetVariableDecides) {
  EnvironmentGuard guard;
  const LanguageCase cases[] = {
      {nullptr, nullptr, "de_DE.UTF-8", Language::German},
      {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
      {nullptr, nullptr, "fr_FR.UTF-8", Language::English},
      {nullptr, nullptr, nullptr, Language::English},
      {"ja_JP.UTF-8", "de_DE.UTF-8", "en_US.UTF-8", Language::Japanese},
      {"", "de_AT.UTF-8", "ja_JP.UTF-8", Language::German},
      {"C", "de_DE.UTF-8", nullptr, Language::English},
      {nullptr, nullptr, "deutsch", Language::German},
  };
  for (const LanguageCase& c : cases) {
    guard.Set(c.lcAll, c.lcMessages, c.lang);
    EXPECT_EQ(DetectLanguage(), c.expected)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

TEST(Messages, EveryNumberHasATextInEveryLanguage) {
  for (const MessageRow& row : kMessageTable) {
    for (Language language : {Language::English, Language::German, Language::Japanese}) {
      EXPECT_FALSE(LoadMessage(row.id, language).empty()) << row.id;
    }
  }
  EXPECT_TRUE(LoadMessage(101, Language::English).empty());
  EXPECT_TRUE(LoadMessage(kLastMessage + 1, Language::German).empty());
}

TEST(Messages, LoadedInTheCurrentLanguage) {
  SetLanguage(Language::German);
  EXPECT_EQ(LoadMessage(kMsgNoResponse), "Verbindung konnte nicht hergestellt werden.");
  SetLanguage(Language::Japanese);
  EXPECT_EQ(LoadMessage(kMsgAborted), "中断しました。");
  SetLanguage(Language::English);
  EXPECT_EQ(LoadMessage(kMsgTransferAborted), "Transfering is aborted.");
  // Texts joined by the program keep their own spacing.
  EXPECT_EQ(LoadMessage(kMsgNoResponse) + LoadMessage(kMsgIfPcLoadSave),
            "No communication response.If ZEMA screen displaying \"PC LOAD/SAVE\", please "
            "click [YES] button.");
}

TEST(Messages, TableRowsAreInNumberOrder) {
  for (std::size_t i = 1; i < kMessageTable.size(); ++i) {
    EXPECT_LT(kMessageTable[i - 1].id, kMessageTable[i].id);
  }
  EXPECT_EQ(kMessageTable.front().id, kFirstMessage);
  EXPECT_EQ(kMessageTable.back().id, kLastMessage);
}

}  // namespace

}  // namespace zema
