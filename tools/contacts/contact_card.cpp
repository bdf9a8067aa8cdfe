#include "contact_card.h"

#include <QFormLayout>
#include <QList>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace contacts {

QString BusName(const QString& application) {
  const QString lower = application.trimmed().toLower();
  if (lower.isEmpty()) return {};
  QString element;
  for (const char32_t c : lower.toUcs4()) {
    const bool kept = (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'_';
    element.append(kept ? QChar(static_cast<char16_t>(c)) : QLatin1Char('_'));
  }
  if (element.at(0).isDigit()) element.prepend(QLatin1Char('_'));
  const QString prefix = QStringLiteral("org.corvellan.link.");
  return prefix + element.left(255 - prefix.size());
}

ContactCard::ContactCard() {
  setWindowTitle(QStringLiteral("Contacts"));
  auto* form = new QFormLayout;
  const QList<std::pair<const char*, const char*>> fields = {
      {"NAME", "&Name:"},       {"COMPANY", "C&ompany:"}, {"ADDRESS", "&Address:"}, {"ADDRESS2", "Address &line 2:"},
      {"CITY", "&City:"},       {"STATE", "&State:"},     {"ZIP", "&ZIP code:"},
  };
  for (const auto& [name, caption] : fields) {
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(kValueLimit);
    box->setMinimumWidth(280);
    box->setToolTip(QStringLiteral("Item %1 of topic %2").arg(QLatin1String(name), QLatin1String(kTopic)));
    form->addRow(caption, box);
    items_.append({QLatin1String(name), box});
  }

  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("Note"));
  note_->setWordWrap(true);
  auto* clear = new QPushButton(QStringLiteral("Cl&ear"), this);
  clear->setObjectName(QStringLiteral("ClearButton"));
  clear->setToolTip(QStringLiteral("Empty every field of the card"));
  connect(clear, &QPushButton::clicked, this, [this] {
    for (const Item& item : items_) item.box->clear();
  });
  auto* quit = new QPushButton(QStringLiteral("&Quit"), this);
  quit->setObjectName(QStringLiteral("QuitButton"));
  connect(quit, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(note_, 1);
  buttons->addWidget(clear);
  buttons->addWidget(quit);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
}

QLineEdit* ContactCard::itemBox(const QString& item) const {
  for (const Item& entry : items_) {
    if (entry.name.compare(item.trimmed(), Qt::CaseInsensitive) == 0) return entry.box;
  }
  return nullptr;
}

QStringList ContactCard::itemNames() const {
  QStringList names;
  for (const Item& item : items_) names.append(item.name);
  return names;
}

void ContactCard::showNote(const QString& text) { note_->setText(text); }

QLineEdit* LinkService::Find(const QString& topic, const QString& item) {
  if (topic.trimmed().compare(QLatin1String(kTopic), Qt::CaseInsensitive) != 0) {
    sendErrorReply(QStringLiteral("org.corvellan.Link1.Error.UnknownTopic"),
                   QStringLiteral("Unknown topic '%1'; this program serves %2").arg(topic, QLatin1String(kTopic)));
    return nullptr;
  }
  QLineEdit* box = card_.itemBox(item);
  if (box == nullptr) {
    sendErrorReply(QStringLiteral("org.corvellan.Link1.Error.UnknownItem"),
                   QStringLiteral("Unknown item '%1'; the items are %2").arg(item, card_.itemNames().join(", ")));
  }
  return box;
}

QString LinkService::GetItem(const QString& topic, const QString& item) {
  QLineEdit* box = Find(topic, item);
  setItems_.clear();
  return box != nullptr ? box->text() : QString();
}

void LinkService::SetItem(const QString& topic, const QString& item, const QString& value) {
  QLineEdit* box = Find(topic, item);
  if (box == nullptr) return;
  box->setText(value.left(kValueLimit));
  box->setCursorPosition(0);
  if (!setItems_.contains(box->objectName())) setItems_.append(box->objectName());
  card_.showNote(QStringLiteral("Set by the link: %1").arg(setItems_.join(", ")));
}

}  // namespace contacts
