#include "core/access_keys.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTabBar>
#include <QWidget>

namespace corvellan {

namespace {

// The first control inside `box` that Tab reaches: where the box's key goes.
QWidget* FirstControlIn(QWidget* box) {
  for (QWidget* w = box->nextInFocusChain(); w != nullptr && w != box; w = w->nextInFocusChain()) {
    if (box->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) != 0 && w->isEnabled()) return w;
  }
  return box;
}

QString CaptionOf(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (const auto* box = qobject_cast<const QGroupBox*>(widget)) return box->title();
  return {};
}

void SetCaption(QWidget* widget, const QString& caption) {
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(caption);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(caption);
  } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
    box->setTitle(caption);
  }
}

}  // namespace

QChar AccessKeyLetter(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption.at(i) != QLatin1Char('&')) continue;
    const QChar next = caption.at(i + 1);
    if (next == QLatin1Char('&')) {
      ++i;  // a literal ampersand
      continue;
    }
    return next.toUpper();
  }
  return {};
}

QString PlainCaption(const QString& caption) {
  QString plain;
  plain.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption.at(i) == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&')) {
        plain += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    plain += caption.at(i);
  }
  return plain;
}

QList<AccessKey> VisibleAccessKeys(QWidget* window) {
  QList<AccessKey> keys;
  const auto add = [&keys](const QString& caption, QWidget* owner, QWidget* target) {
    const QChar letter = AccessKeyLetter(caption);
    if (!letter.isNull()) keys.append({letter, owner, target, PlainCaption(caption)});
  };
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (widget->window() != window || !widget->isVisibleTo(window)) continue;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      // A label's key only works with a buddy.
      if (label->buddy() != nullptr) add(label->text(), label, label->buddy());
    } else if (qobject_cast<QAbstractButton*>(widget) != nullptr) {
      add(CaptionOf(widget), widget, widget);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
      add(box->title(), box, box->isCheckable() ? box : FirstControlIn(box));
    } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
      for (QAction* action : bar->actions()) {
        if (action->isVisible() && action->menu() != nullptr) add(action->text(), bar, bar);
      }
    } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) add(tabs->tabText(i), tabs, tabs);
    }
  }
  return keys;
}

void ShareAccessKeys(QWidget* window, QWidget* page) {
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const QVariant design = widget->property(kDesignCaptionProperty);
    if (!design.isValid()) continue;
    SetCaption(widget, design.toString());
    widget->setProperty(kDesignCaptionProperty, QVariant());
  }
  if (page == nullptr) return;
  const QList<AccessKey> keys = VisibleAccessKeys(window);
  QSet<QChar> onPage;
  for (const AccessKey& key : keys) {
    if (page->isAncestorOf(key.owner)) onPage.insert(key.letter);
  }
  for (const AccessKey& key : keys) {
    QWidget* owner = key.owner;
    // Menus keep their letters: no control takes one.
    if (page->isAncestorOf(owner) || !onPage.contains(key.letter) || qobject_cast<QMenuBar*>(owner) != nullptr) {
      continue;
    }
    const QString design = CaptionOf(owner);
    owner->setProperty(kDesignCaptionProperty, design);
    QString shown = PlainCaption(design);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    SetCaption(owner, shown);
  }
}

}  // namespace corvellan
