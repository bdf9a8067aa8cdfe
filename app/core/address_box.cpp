#include "core/address_box.h"

#include <sys/stat.h>

#include <string>

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStringList>

#include "address_matcher.h"
#include "core/app_globals.h"
#include "core/result_lines.h"
#include "core/zip_main.h"
#include "place_names.h"
#include "places_file.h"
#include "read_zip_file.h"
#include "str_util.h"
#include "ui_zip_main.h"

namespace corvellan {

AddressBox::AddressBox(ZipMain& window) : QObject(&window), window_(window) {
  Ui::ZipMain& ui = window.form();
  auto* row = new QWidget(ui.centralwidget);
  row->setObjectName(QStringLiteral("AddressRow"));
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(8, 0, 8, 0);
  auto* label = new QLabel(QStringLiteral("&Whole Address"), row);
  label->setObjectName(QStringLiteral("AddressLab"));
  line_ = new QLineEdit(row);
  line_->setObjectName(QStringLiteral("AddressLine"));
  line_->setToolTip(QStringLiteral("Type or paste a whole address and press Enter"));
  line_->setPlaceholderText(QStringLiteral("123 N Main St Apt 5, Springfield IL 62704"));
  line_->setMaxLength(200);
  // Cleared with the search fields (Edit, Clear), kept while a search runs.
  line_->setProperty("Tag", 9);
  label->setBuddy(line_);
  layout->addWidget(label);
  layout->addWidget(line_, 1);
  if (auto* box = qobject_cast<QBoxLayout*>(ui.centralwidget->layout())) {
    box->insertWidget(box->indexOf(ui.fmSearch), row);
  } else {
    ui.centralwidget->layout()->addWidget(row);
  }
  QWidget::setTabOrder(line_, ui.SearchZip);
  connect(line_, &QLineEdit::returnPressed, this, &AddressBox::AddressLine_Enter);
}

AddressBox::~AddressBox() = default;

namespace {

// The data file and its place names file as they are on disk (device, inode,
// size, modification time of each): a database rebuilt since the matcher was
// opened has been renamed over the old one and gives another stamp.
std::string DataStamp(const std::string& path) {
  std::string stamp;
  for (const std::string& p : {path, matcher::PlacesFilePath(path)}) {
    struct stat st {};
    if (stat(p.c_str(), &st) != 0) {
      stamp += "-;";
      continue;
    }
    stamp += std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' +
             std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec) + ';';
  }
  return stamp;
}

}  // namespace

bool AddressBox::openMatcher() {
  const QString dir = App().DataDir;
  const QString path = QDir(dir).filePath(QStringLiteral("zip.cvd"));
  const std::string file = QFile::encodeName(path).toStdString();
  const std::string stamp = DataStamp(file);
  if (matcher_ && dir == openedDir_ && stamp == openedStamp_) return true;
  matcher_.reset();
  places_.reset();
  reader_ = std::make_unique<corvdb::ReadZipFile>();
  if (reader_->openPath(file) != 0) {
    reader_.reset();
    return false;
  }
  window_.SetStatus(QStringLiteral("Reading Place Names"));
  QApplication::processEvents();
  places_ = std::make_unique<matcher::PlaceNames>(matcher::PlaceNames::FromReader(*reader_));
  if (places_->otherNames().state == matcher::PlaceNames::OtherNames::State::kIgnored) {
    qWarning("%s", places_->otherNames().describe().c_str());
  }
  matcher_ = std::make_unique<matcher::AddressMatcher>(*reader_, *places_);
  openedDir_ = dir;
  openedStamp_ = stamp;
  return true;
}

void AddressBox::AddressLine_Enter() {
  const QString text = line_->text().trimmed();
  if (text.isEmpty()) return;
  if (!openMatcher()) {
    window_.SetStatus(QStringLiteral("Address: the data file could not be opened"));
    return;
  }
  const matcher::ParsedAddress parsed = matcher_->parser().parse(text.toUtf8().toStdString());
  const matcher::MatchResult match = matcher_->match(parsed);
  const bool sure = match.confident();
  auto q = [](const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); };

  // The fields of the match (corrected values included), or of the line.
  Ui::ZipMain& ui = window_.form();
  ui.SearchRecipient->clear();
  ui.SearchZip->setText(q(sure ? match.zip : parsed.zip));
  ui.SearchNumber->setText(q(parsed.primaryNumber));
  if (sure) {
    // A stored name that begins with a direction word (N RAILROAD without a
    // pre-direction) reads back as another street from the street field: the
    // ZIP code and the number find the record then.
    const corvdb::StreetParts back =
        corvdb::strUtil::parseStreetLine(match.street, "\x01", "", "", reader_->suffixTable());
    ui.SearchStreet->setText(back.streetName == match.streetName ? q(match.street) : QString());
    ui.SearchSecdry->setText(q(match.unit));
  } else {
    std::string street = parsed.streetLine();
    if (!parsed.primaryNumber.empty()) street = street.substr(std::min(street.size(), parsed.primaryNumber.size() + 1));
    ui.SearchStreet->setText(q(street));
    // "# 5" names no designator the data knows: the search takes the unit
    // only when a designator was written.
    ui.SearchSecdry->setText(parsed.designator == "#" ? QString() : q(parsed.unitText()));
  }
  ui.SearchCity->setText(q(sure ? match.city : parsed.city));
  ui.StateList->setEditText(q(sure ? match.state : parsed.state));

  window_.SearchButton_Click();

  QString status = QStringLiteral("Address ") + QString::fromLatin1(matcher::MatchCodeName(match.code));
  if (!match.reason.empty()) status += QStringLiteral(": ") + q(match.reason);
  // How the line was read where it was written otherwise (a state written
  // out, a ZIP code that lost its leading zero).
  if (!parsed.notes.empty()) {
    QStringList notes;
    for (const std::string& note : parsed.notes) notes << q(note);
    status += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
  }
  if (sure) {
    const QString key = q(match.zip + match.plus4);
    for (int i = 0; i < ui.FoundList->count(); ++i) {
      if (LineKey(ui.FoundList->item(i)->text()) == key) {
        ui.FoundList->setCurrentRow(i);
        break;
      }
    }
  }
  window_.SetStatus(status);
}

}  // namespace corvellan
