#include "ui/qt/template_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

namespace zema {

namespace {

QString FromUtf8(const char* text) { return QString::fromUtf8(text); }

// The button that Enter presses when no other button has the focus.
constexpr int kDefaultCommandId = 1;

}  // namespace

QFont TemplateDialog::DialogFont(const DialogTemplate& dialogTemplate) {
  const QString family = FromUtf8(dialogTemplate.fontFamily);
  if (QFontDatabase::families().contains(family, Qt::CaseInsensitive)) {
    return QFont(family, dialogTemplate.fontPointSize);
  }
  return QApplication::font();
}

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : TemplateDialog(dialogTemplate, CurrentLanguage(), parent) {}

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, Language language,
                               QWidget* parent)
    : QDialog(parent),
      template_(dialogTemplate),
      language_(language),
      font_(DialogFont(dialogTemplate)),
      units_(DialogUnits::ForFont(font_)) {
  Build();
}

void TemplateDialog::Build() {
  // A fixed frame with caption and system menu, no minimise or maximise box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(font_);
  setWindowTitle(FromUtf8(template_.Title(language_)));
  setFixedSize(units_.ToPixelsX(template_.Width(language_)),
               units_.ToPixelsY(template_.Height(language_)));
  setSizeGripEnabled(false);

  // Widgets created in template order get the template's tab order.
  for (const ControlTemplate& control : template_.controls) {
    QWidget* widget = CreateControl(control);
    widget->setEnabled(control.enabled);
    widget->setHidden(!control.visible);
    if (control.id != kNoControlId) {
      widget->setObjectName(QStringLiteral("control%1").arg(control.id));
      controls_.emplace(control.id, widget);
    }
  }
}

QWidget* TemplateDialog::CreateControl(const ControlTemplate& control) {
  const QRect rect = units_.ToPixels(control.Position(language_));
  const QString caption = FromUtf8(control.Caption(language_));
  const int id = control.id;

  switch (control.kind) {
    case ControlKind::DropDownList: {
      auto* list = new QComboBox(this);
      for (const char* item : control.items) list->addItem(FromUtf8(item));
      list->setCurrentIndex(-1);
      // The template's height includes the opened list; the closed box
      // takes the height its style needs.
      const int closedHeight = list->sizeHint().height();
      const int itemHeight = std::max(QFontMetrics(font_).height(), 1);
      list->setMaxVisibleItems(std::max(1, (rect.height() - closedHeight) / itemHeight));
      list->setGeometry(rect.x(), rect.y(), rect.width(), closedHeight);
      return list;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(caption, this);
      box->setGeometry(rect);
      connect(box, &QAbstractButton::clicked, this, [this, id] { emit ControlClicked(id); });
      return box;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(caption, this);
      button->setGeometry(rect);
      button->setAutoDefault(true);
      if (id == kDefaultCommandId) button->setDefault(true);
      connect(button, &QAbstractButton::clicked, this, [this, id] { emit ControlClicked(id); });
      return button;
    }
    case ControlKind::StaticText: {
      auto* label = new QLabel(caption, this);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setGeometry(rect);
      return label;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(caption, this);
      edit->setGeometry(rect);
      return edit;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(this);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      bar->setGeometry(rect);
      return bar;
    }
  }
  return new QWidget(this);
}

QWidget* TemplateDialog::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

}  // namespace zema
