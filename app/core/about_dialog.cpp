#include "core/about_dialog.h"

#include <QPushButton>

#include "core/program_icon.h"
#include "core/zip_main.h"
#include "ui_about_dialog.h"

namespace corvellan {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutDialog>()) {
  ui_->setupUi(this);
  // Alt+O as well as Enter and Esc.
  if (QPushButton* ok = ui_->buttonBox->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("&OK"));
  setProperty(kFormProperty, true);
  setWindowIcon(ProgramIcon());
  ui_->lblIcon->setPixmap(ProgramIcon().pixmap(48, 48));
  ui_->lblVersion->setText(QStringLiteral("Version %1").arg(QStringLiteral(CORVELLAN_VERSION)));
  for (QLabel* link : {ui_->lblHomePage, ui_->lblSupportPage, ui_->lblOrderPage}) {
    connect(link, &QLabel::linkActivated, this, [this](const QString& target) { emit linkRequested(target.toInt()); });
  }
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::setDirectories(const QString& programDir, const QString& dataDir, const QString& dataDate) {
  ui_->ProgramDirValue->setText(programDir);
  ui_->DataDirValue->setText(dataDir);
  ui_->DataDateValue->setText(dataDate);
}

}  // namespace corvellan
