#include "ui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace zema {

namespace {

std::unique_ptr<QTranslator>& InstalledTranslator() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

const char* CatalogueFor(Language language) {
  switch (language) {
    case Language::German:
      return "qtbase_de";
    case Language::Japanese:
      return "qtbase_ja";
    case Language::English:
      break;
  }
  return nullptr;
}

}  // namespace

bool InstallQtTranslations(Language language) {
  std::unique_ptr<QTranslator>& installed = InstalledTranslator();
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  const char* catalogue = CatalogueFor(language);
  if (catalogue == nullptr) return false;

  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QString::fromLatin1(catalogue),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  QCoreApplication::installTranslator(translator.get());
  installed = std::move(translator);
  return true;
}

}  // namespace zema
