#include "transfer/dde_setup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/form_placement.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "transfer/dde_link.h"
#include "transfer/icon_window.h"
#include "transfer/link_address.h"
#include "ui_dde_setup.h"

namespace corvellan {

namespace {

constexpr char kSection[] = "DDE Settings";
constexpr char kApplicationKey[] = "Application Name";
constexpr char kTopicKey[] = "DDE Topic";

// The merge keys in the order of the DDESpecial boxes, and the link element
// each one marks.
const std::array<const char*, 3> kMergeKeys{"Add to Primary", "Add to City", "Add to ZipCode"};
constexpr std::array<int, 3> kMergeElements{kLinkSecondary, kLinkState, kLinkPlus4};

QString CheckKey(int i) { return LinkFieldName(i) + QStringLiteral(" Check"); }

bool ReadsYes(const QString& value) { return value.toUpper() == QLatin1String("YES"); }

QString YesNo(bool yes) { return yes ? QStringLiteral("Yes") : QStringLiteral("No"); }

}  // namespace

DDESetup::DDESetup(ZipMain& main) : QWidget(&main, Qt::Window), main_(main), ui_(std::make_unique<Ui::DDESetup>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("DDESetup"));
  setProperty(kFormProperty, true);
  for (int i = 0; i < kLinkFieldCount; ++i) {
    Item.append(findChild<QLineEdit*>(QStringLiteral("Item_%1").arg(i)));
    DdeCheck.append(findChild<QCheckBox*>(QStringLiteral("DdeCheck_%1").arg(i)));
  }
  for (int i = 0; i < 3; ++i) DDESpecial.append(findChild<QCheckBox*>(QStringLiteral("DDESpecial_%1").arg(i)));

  const auto markChanged = [this] { changed_ = true; };
  for (QLineEdit* edit : QList<QLineEdit*>{ui_->DDEAppname, ui_->DDETopic} + Item) {
    connect(edit, &QLineEdit::textEdited, this, markChanged);
  }
  for (QCheckBox* box : DdeCheck + DDESpecial) connect(box, &QCheckBox::clicked, this, markChanged);
  connect(ui_->CloseButton, &QPushButton::clicked, this, &DDESetup::CloseButton_Click);

  adjustSize();
  CenterForm(this, 0);
}

DDESetup::~DDESetup() = default;

void DDESetup::LoadDDE() {
  const QString& ini = App().IniFile;
  const QString section = QLatin1String(kSection);
  ui_->DDEAppname->setText(CapitalizeFirst(GetIni(ini, section, QLatin1String(kApplicationKey))));
  ui_->DDETopic->setText(CapitalizeFirst(GetIni(ini, section, QLatin1String(kTopicKey))));
  for (int i = 0; i < kLinkFieldCount; ++i) {
    Item[i]->setText(GetIni(ini, section, LinkFieldName(i)));
    DdeCheck[i]->setChecked(ReadsYes(GetIni(ini, section, CheckKey(i))));
  }
  for (int k = 0; k < 3; ++k) {
    DDESpecial[k]->setChecked(ReadsYes(GetIni(ini, section, QLatin1String(kMergeKeys[k]))));
  }
  changed_ = false;

  frmIcon* icon = FindIconWindow(main_);
  if (icon == nullptr) return;
  const QString topic = ui_->DDEAppname->text() + QLatin1Char('|') + ui_->DDETopic->text();
  for (int i = 0; i < kLinkFieldCount; ++i) {
    DdeLinkField& field = icon->LinkField[static_cast<std::size_t>(i)];
    field.LinkTopic = topic;
    field.LinkItem = Item[i]->text();
    field.SetLinkMode(kLinkModeNone);
    field.Enabled = DdeCheck[i]->isChecked();
    field.Merge = false;
  }
  for (int k = 0; k < 3; ++k) {
    icon->LinkField[static_cast<std::size_t>(kMergeElements[k])].Merge = DDESpecial[k]->isChecked();
  }
}

bool DDESetup::SaveDDE() {
  const QString& ini = App().IniFile;
  const QString section = QLatin1String(kSection);
  bool written = WriteIni(section, QLatin1String(kApplicationKey), ui_->DDEAppname->text(), ini);
  written = written && WriteIni(section, QLatin1String(kTopicKey), ui_->DDETopic->text(), ini);
  for (int i = 0; i < kLinkFieldCount && written; ++i) {
    written = WriteIni(section, LinkFieldName(i), Item[i]->text(), ini) &&
              WriteIni(section, CheckKey(i), YesNo(DdeCheck[i]->isChecked()), ini);
  }
  for (int k = 0; k < 3 && written; ++k) {
    written = WriteIni(section, QLatin1String(kMergeKeys[k]), YesNo(DDESpecial[k]->isChecked()), ini);
  }
  if (!written) {
    // Loading now would put the old values back over what the user typed.
    MessageBox::critical(this, QStringLiteral("Unable to Save the DDE Settings"));
    return false;
  }
  LoadDDE();
  return true;
}

void DDESetup::CloseButton_Click() { close(); }

void DDESetup::Form_Activate() {
  if (!changed_) LoadDDE();
}

void DDESetup::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Form_Activate();
}

void DDESetup::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
}

void DDESetup::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void DDESetup::closeEvent(QCloseEvent* event) {
  if (changed_) {
    switch (MessageBox::show(this, MessageBox::Icon::Question, QStringLiteral("Save Changes?"),
                             MessageBox::Buttons::YesNoCancel)) {
      case MessageBox::Answer::Cancel:
        event->ignore();
        return;
      case MessageBox::Answer::Yes:
        if (!SaveDDE()) {
          event->ignore();
          return;
        }
        break;
      default:
        // The edits are dropped: the next showing loads the settings again.
        changed_ = false;
        break;
    }
  }
  if (App().Closing) {
    event->accept();
    return;
  }
  // The window stays loaded between showings.
  event->ignore();
  hide();
}

DDESetup& DdeSetupWindow(ZipMain& main) {
  auto* setup = main.findChild<DDESetup*>(QStringLiteral("DDESetup"), Qt::FindDirectChildrenOnly);
  if (setup == nullptr) setup = new DDESetup(main);
  return *setup;
}

void LoadDDE(ZipMain& form) { DdeSetupWindow(form).LoadDDE(); }

void mnuViewDDE_Click(ZipMain& main) {
  DDESetup& setup = DdeSetupWindow(main);
  setup.show();
  setup.raise();
  setup.activateWindow();
}

}  // namespace corvellan
