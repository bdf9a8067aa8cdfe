#include "labels/label_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "core/desktop.h"
#include "core/settings.h"
#include "labels/drawing/label_products.h"
#include "platform/profile.h"

namespace corvellan {

namespace {

constexpr char kImbSection[] = "Intelligent Mail Barcode";
constexpr char kNoProduct[] = "(none: one label per page)";

QString SerialKey(const QString& mailerId) { return QStringLiteral("Next Serial ") + mailerId; }

bool AllDigits(const QString& text) {
  return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
}

// Taking serial numbers reads the next one and writes it back moved on. Two
// programs doing that at once would both read the same number, so the read
// and the write happen under an exclusive advisory lock (flock) on
// "<settings file>.serials.lock", with the protocol of the settings file's
// own writer lock: the holder removes the lock file before letting go, and a
// program that was waiting checks that it locked the file now in place and
// starts over otherwise, so no lock file stays behind. (The writer lock,
// "<settings file>.lock", cannot be held here: the write itself takes it.)
class SerialLock {
 public:
  explicit SerialLock(const QString& ini) {
    // Programs that reach one file through a link share the link's target.
    const QString path = QString::fromStdString(ProfilePath(ini.toStdString()));
    const QString target = QFileInfo(path).canonicalFilePath();
    path_ = QFile::encodeName((target.isEmpty() ? path : target) + QStringLiteral(".serials.lock")).toStdString();
    for (int attempt = 0; attempt < 10000; ++attempt) {
      Release(false);
      fd_ = open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
      // No settings folder yet: made here, as a write of the file would.
      if (fd_ < 0 && errno == ENOENT && attempt == 0 && QDir().mkpath(QFileInfo(path).path())) {
        fd_ = open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
      }
      if (fd_ < 0) return;
      int locked = 0;
      while ((locked = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
      }
      if (locked != 0) break;
      struct stat held {}, named {};
      if (fstat(fd_, &held) == 0 && stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        return;
      }
    }
    Release(false);
  }
  ~SerialLock() { Release(true); }
  SerialLock(const SerialLock&) = delete;
  SerialLock& operator=(const SerialLock&) = delete;
  bool locked() const { return fd_ >= 0; }

 private:
  void Release(bool remove) {
    if (fd_ < 0) return;
    if (remove) unlink(path_.c_str());  // while still locked
    close(fd_);
    fd_ = -1;
  }

  std::string path_;
  int fd_ = -1;
};

bool WriteNextSerial(const QString& ini, const QString& mailerId, std::int64_t serial) {
  return WriteIni(QLatin1String(kImbSection), SerialKey(mailerId), QString::number(serial), ini);
}

}  // namespace

QString BarcodeKindText(BarcodeKind kind, bool useBar) {
  if (!useBar) return QStringLiteral("None");
  return kind == BarcodeKind::Imb ? QStringLiteral("IMb") : QStringLiteral("POSTNET");
}

std::optional<BarcodeKind> ParseBarcodeKind(const QString& text, bool* useBar) {
  const QString value = text.trimmed();
  *useBar = true;
  if (value.compare(QLatin1String("IMb"), Qt::CaseInsensitive) == 0) return BarcodeKind::Imb;
  if (value.compare(QLatin1String("POSTNET"), Qt::CaseInsensitive) == 0) return BarcodeKind::Postnet;
  if (value.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0) {
    *useBar = false;
    return std::nullopt;
  }
  return std::nullopt;
}

ImbMailer ReadImbMailer(const QString& ini) {
  const QString section = QLatin1String(kImbSection);
  return {GetIni(ini, section, QStringLiteral("Barcode ID")), GetIni(ini, section, QStringLiteral("Service Type")),
          GetIni(ini, section, QStringLiteral("Mailer ID"))};
}

bool WriteImbMailer(const QString& ini, const ImbMailer& mailer) {
  const QString section = QLatin1String(kImbSection);
  bool saved = WriteIni(section, QStringLiteral("Barcode ID"), mailer.barcodeId, ini);
  saved = WriteIni(section, QStringLiteral("Service Type"), mailer.serviceType, ini) && saved;
  return WriteIni(section, QStringLiteral("Mailer ID"), mailer.mailerId, ini) && saved;
}

std::int64_t NextImbSerial(const QString& ini, const QString& mailerId) {
  const QString text = GetIni(ini, QLatin1String(kImbSection), SerialKey(mailerId));
  bool ok = false;
  const qlonglong serial = text.toLongLong(&ok);
  if (!ok || serial < 0) return 0;
  return serial % ImbSerialCount(mailerId);
}

bool SetNextImbSerial(const QString& ini, const QString& mailerId, std::int64_t serial) {
  const SerialLock lock(ini);
  return lock.locked() && WriteNextSerial(ini, mailerId, serial);
}

namespace {

// Why `count` labels cannot take serial numbers of the settings' mailer
// (read into `mailer`); empty when they can.
QString SerialProblem(const QString& ini, std::int64_t count, ImbMailer* mailer) {
  *mailer = ReadImbMailer(ini);
  const QString problem = ImbMailerError(*mailer);
  if (!problem.isEmpty()) {
    return QStringLiteral("Intelligent Mail barcode: ") + problem + QStringLiteral(" Set it with Barcode Kind & Sheet.");
  }
  if (count > ImbSerialCount(mailer->mailerId)) {
    return QStringLiteral("More labels than serial numbers of Mailer ID %1.").arg(mailer->mailerId);
  }
  return {};
}

}  // namespace

std::optional<std::int64_t> PeekImbSerials(const QString& ini, std::int64_t count, ImbMailer* mailer,
                                           QString* error) {
  *error = SerialProblem(ini, count, mailer);
  if (!error->isEmpty()) return std::nullopt;
  return NextImbSerial(ini, mailer->mailerId);
}

std::optional<std::int64_t> ReserveImbSerials(const QString& ini, std::int64_t count, ImbMailer* mailer,
                                              QString* error) {
  *error = SerialProblem(ini, count, mailer);
  if (!error->isEmpty()) return std::nullopt;
  const std::int64_t available = ImbSerialCount(mailer->mailerId);
  const QString cannotSave = QStringLiteral("The serial numbers of the Intelligent Mail barcode cannot be saved in %1; "
                                            "nothing printed, so that no number is used twice.")
                                 .arg(ini);
  // Held from reading the next serial to writing it back (see SerialLock).
  const SerialLock lock(ini);
  if (!lock.locked()) {
    *error = cannotSave;
    return std::nullopt;
  }
  const std::int64_t first = NextImbSerial(ini, mailer->mailerId);
  // Past the last number the serials start again at 0: by then the first
  // labels are long out of the Postal Service's 45 days.
  if (!WriteNextSerial(ini, mailer->mailerId, (first + count) % available)) {
    *error = cannotSave;
    return std::nullopt;
  }
  return first;
}

QString NarrowLabelNotice(const QString& product, double labelWidthInches) {
  const ImbPlacement place = PlaceImbOnLabel(kImbEdgeInches, 0, labelWidthInches);
  if (!place.squeezed) return {};
  const QString needs = QStringLiteral("%1 labels are %2 in wide, less than an Intelligent Mail barcode needs (%3 in "
                                       "and %4 in at each edge)")
                            .arg(product)
                            .arg(labelWidthInches, 0, 'g', 4)
                            .arg(ImbWidthInches(kImbNarrowPitchInches), 0, 'f', 2)
                            .arg(kImbEdgeInches, 0, 'g', 3);
  if (place.pitchInches <= 0) return needs + QStringLiteral(": its bars cannot be printed on it.");
  // Two decimals: the 24.85 of an Avery 5160 is not yet 24.9.
  return needs + QStringLiteral(": its bars print at %1 to the inch to stay on the label.")
                     .arg(1 / place.pitchInches, 0, 'f', 2);
}

LabelOptionsDialog::LabelOptionsDialog(const Values& values, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("LabelOptionsDialog"));
  setWindowTitle(QStringLiteral("Barcode Kind and Label Sheet"));
  auto* layout = new QVBoxLayout(this);

  auto* templateBox = new QGroupBox(QStringLiteral("Label template (saved with Save)"), this);
  auto* templateForm = new QFormLayout(templateBox);
  kind_ = new QComboBox(templateBox);
  kind_->setObjectName(QStringLiteral("BarKind"));
  kind_->addItem(QStringLiteral("POSTNET"));
  kind_->addItem(QStringLiteral("Intelligent Mail (IMb)"));
  kind_->setCurrentIndex(values.kind == BarcodeKind::Imb ? 1 : 0);
  templateForm->addRow(QStringLiteral("&Barcode:"), kind_);
  digits_ = new QCheckBox(QStringLiteral("Print the &digits under the Intelligent Mail barcode"), templateBox);
  digits_->setObjectName(QStringLiteral("ImbDigits"));
  digits_->setChecked(values.digits);
  templateForm->addRow(digits_);

  product_ = new QComboBox(templateBox);
  product_->setObjectName(QStringLiteral("LabelProduct"));
  product_->setEditable(true);
  product_->setInsertPolicy(QComboBox::NoInsert);
  product_->addItem(QLatin1String(kNoProduct));
  QString error;
  product_->addItems(LabelProductNames(&error));
  product_->completer()->setCompletionMode(QCompleter::PopupCompletion);
  product_->completer()->setCaseSensitivity(Qt::CaseInsensitive);
  product_->setCurrentText(values.product.isEmpty() ? QLatin1String(kNoProduct) : values.product);
  templateForm->addRow(QStringLiteral("Label &sheet:"), product_);
  productInfo_ = new QLabel(templateBox);
  productInfo_->setObjectName(QStringLiteral("ProductInfo"));
  productInfo_->setWordWrap(true);
  templateForm->addRow(productInfo_);
  start_ = new QSpinBox(templateBox);
  start_->setObjectName(QStringLiteral("StartLabel"));
  start_->setRange(1, 10000);
  start_->setValue(values.startLabel);
  start_->setToolTip(QStringLiteral("The first free label of a partly used sheet (1 = top left)"));
  templateForm->addRow(QStringLiteral("Start at &label:"), start_);
  layout->addWidget(templateBox);

  auto* mailerBox = new QGroupBox(QStringLiteral("Intelligent Mail mailer"), this);
  auto* mailerForm = new QFormLayout(mailerBox);
  const auto digitsBox = [&](const char* name, const QString& text, int maxLength) {
    auto* box = new QLineEdit(text, mailerBox);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(maxLength);
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    return box;
  };
  barcodeId_ = digitsBox("ImbBarcodeId", values.mailer.barcodeId, 2);
  barcodeId_->setToolTip(QStringLiteral("Two digits, the second 0 to 4 (00 when no presort applies)"));
  mailerForm->addRow(QStringLiteral("Barcode &ID:"), barcodeId_);
  serviceType_ = digitsBox("ImbServiceType", values.mailer.serviceType, 3);
  serviceType_->setToolTip(QStringLiteral("Three digits: the mail class and its services"));
  mailerForm->addRow(QStringLiteral("Service &type ID:"), serviceType_);
  mailerId_ = digitsBox("ImbMailerId", values.mailer.mailerId, 9);
  mailerId_->setToolTip(QStringLiteral("The Mailer ID the Postal Service gave you: six or nine digits"));
  mailerForm->addRow(QStringLiteral("&Mailer ID:"), mailerId_);
  serial_ = digitsBox("ImbSerial", QString::number(values.nextSerial), 9);
  serial_->setToolTip(QStringLiteral("Serial number of the next label; it goes up by one for every label printed"));
  mailerForm->addRow(QStringLiteral("&Next serial number:"), serial_);
  layout->addWidget(mailerBox);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(kind_, &QComboBox::currentIndexChanged, this, &LabelOptionsDialog::updateState);
  connect(product_, &QComboBox::currentTextChanged, this, &LabelOptionsDialog::updateState);
  if (!error.isEmpty()) product_->setToolTip(error);
  updateState();
}

void LabelOptionsDialog::updateState() {
  const bool imb = kind_->currentIndex() == 1;
  digits_->setEnabled(imb);
  for (QLineEdit* box : {barcodeId_, serviceType_, mailerId_, serial_}) box->setEnabled(imb);
  const QString name = product_->currentText().trimmed();
  if (name.isEmpty() || name == QLatin1String(kNoProduct)) {
    productInfo_->setText(QStringLiteral("One label per page, on the printer's paper."));
    start_->setEnabled(false);
    return;
  }
  QString error;
  const std::optional<LabelProduct> product = FindLabelProduct(name, &error);
  if (!product) {
    productInfo_->setText(error);
    start_->setEnabled(false);
    return;
  }
  QString info = QStringLiteral("%1: %2 labels of %3 x %4 in on a %5 x %6 in page")
                     .arg(product->description)
                     .arg(product->cells.size())
                     .arg(product->label.width(), 0, 'g', 4)
                     .arg(product->label.height(), 0, 'g', 4)
                     .arg(product->page.width(), 0, 'g', 4)
                     .arg(product->page.height(), 0, 'g', 4);
  if (imb) {
    const QString narrow = NarrowLabelNotice(product->name, product->label.width());
    if (!narrow.isEmpty()) info += QStringLiteral("\n") + narrow;
  }
  productInfo_->setText(info);
  start_->setEnabled(true);
  start_->setMaximum(static_cast<int>(product->cells.size()));
}

LabelOptionsDialog::Values LabelOptionsDialog::values() const {
  Values v;
  v.kind = kind_->currentIndex() == 1 ? BarcodeKind::Imb : BarcodeKind::Postnet;
  v.digits = digits_->isChecked();
  const QString product = product_->currentText().trimmed();
  v.product = product == QLatin1String(kNoProduct) ? QString() : product;
  v.startLabel = start_->value();
  v.mailer = {barcodeId_->text().trimmed(), serviceType_->text().trimmed(), mailerId_->text().trimmed()};
  v.nextSerial = serial_->text().toLongLong();
  return v;
}

QString LabelOptionsDialog::problem() const {
  const Values v = values();
  if (!v.product.isEmpty()) {
    QString error;
    if (!FindLabelProduct(v.product, &error)) return error;
  }
  if (v.kind != BarcodeKind::Imb) return {};
  const QString mailerProblem = ImbMailerError(v.mailer);
  if (!mailerProblem.isEmpty()) return mailerProblem;
  const QString serial = serial_->text().trimmed();
  const int serialDigits = 20 - 5 - static_cast<int>(v.mailer.mailerId.size());
  if (!AllDigits(serial) || serial.size() > serialDigits) {
    return QStringLiteral("With a %1-digit Mailer ID the serial number has at most %2 digits.")
        .arg(v.mailer.mailerId.size())
        .arg(serialDigits);
  }
  return {};
}

void LabelOptionsDialog::accept() {
  const QString why = problem();
  if (!why.isEmpty()) {
    MessageBox::show(this, MessageBox::Icon::Warning, why);
    return;
  }
  QDialog::accept();
}

}  // namespace corvellan
