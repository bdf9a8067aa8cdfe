#include "transfer/icon_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScopeGuard>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/form_placement.h"
#include "core/program_icon.h"
#include "core/zip_main.h"
#include "transfer/dde_setup.h"

namespace corvellan {

namespace {

constexpr int kIconTwips = 480;
constexpr int kAllowedErrors = 3;

// The main window's controls, by the names the program gives them.
QLineEdit* Box(ZipMain& main, const char* name) { return main.findChild<QLineEdit*>(QLatin1String(name)); }
QAction* IconMenuItem(ZipMain& main) { return main.findChild<QAction*>(QStringLiteral("mnuViewIcon")); }

QPointer<frmIcon>& IconSlot() {
  static QPointer<frmIcon> icon;
  return icon;
}

// Where the window first appears: near the top right corner of the screen.
QPoint FirstPlace(const QSize& size) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect area = screen->availableGeometry();
  return {area.right() - 3 * size.width(), area.top() + 2 * size.height()};
}

}  // namespace

frmIcon::frmIcon(ZipMain& main)
    // Not a child of the main window: it floats over other programs and
    // stays up when the main window is minimised.
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), main_(&main) {
  setObjectName(QStringLiteral("frmIcon"));
  setWindowTitle(QStringLiteral("Corvellan Icon"));
  setProperty(kFormProperty, true);
  setProperty("Tag", QStringLiteral("4"));
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(QStringLiteral("Click to look up the address of your application; drag with the right button to move"));

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setAlignment(Qt::AlignCenter);
  Image1->installEventFilter(this);

  const int side = TwipsToPixels(this, kIconTwips);
  move(FirstPlace(QSize(side, side)));
  RestoreFormPlacement(this, nullptr);
  setFixedSize(side, side);
  Image1->setGeometry(rect());
  Image1->setPixmap(ProgramIcon().pixmap(QSize(side, side)));
  // Known as the main window's icon window before the settings are applied.
  IconSlot() = this;
  LoadDDE(main);
}

frmIcon::~frmIcon() = default;

// ---------------------------------------------------------------- mouse and keys

bool frmIcon::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image1) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        Image1_MouseDown(mouse->button(), mouse->globalPosition().toPoint());
        return true;
      }
      case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        Image1_MouseMove(mouse->buttons(), mouse->globalPosition().toPoint());
        return true;
      }
      case QEvent::MouseButtonRelease:
        Image1_MouseUp(static_cast<QMouseEvent*>(event)->button());
        return true;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void frmIcon::Image1_MouseDown(Qt::MouseButton button, const QPoint& global) {
  raise();
  if (button == Qt::LeftButton) {
    Linkit();
  } else if (button == Qt::RightButton || button == Qt::MiddleButton) {
    dragging_ = true;
    dragStartPointer_ = global;
    dragStartPlace_ = pos();
  }
}

void frmIcon::Image1_MouseMove(Qt::MouseButtons buttons, const QPoint& global) {
  if (!dragging_ || (buttons & (Qt::RightButton | Qt::MiddleButton)) == 0) return;
  raise();
  // The window keeps the point it was taken by under the pointer.
  move(dragStartPlace_ + (global - dragStartPointer_));
}

void frmIcon::Image1_MouseUp(Qt::MouseButton button) {
  if (!dragging_ || (button != Qt::RightButton && button != Qt::MiddleButton)) return;
  dragging_ = false;
  SaveFormPlacement(this, nullptr);
}

void frmIcon::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (event->modifiers() == Qt::NoModifier &&
      (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
    Linkit();
    return;
  }
  QWidget::keyPressEvent(event);
}

void frmIcon::closeEvent(QCloseEvent* event) {
  if (App().Closing || main_.isNull()) {
    event->accept();
    return;
  }
  // Closed by the window manager: the same as View, Icon for DDE.
  event->ignore();
  hide();
  IconMenuItem(*main_)->setChecked(false);
}

// ---------------------------------------------------------------- the link

int frmIcon::Retried(const Step& step, bool report) {
  for (;;) {
    const int error = step();
    if (error == 0) return 0;
    if (++errors_ >= kAllowedErrors) {
      if (report) MessageBox::critical(main_ != nullptr ? main_->dialogParent() : this, LinkFailedText(error));
      return error;
    }
  }
}

int frmIcon::SendBack(const std::function<int(const Step&)>& run) {
  sendFailure_.clear();
  for (DdeLinkField& field : LinkField) {
    if (!field.Enabled) continue;
    if (const int error = run([&field] { return field.SetLinkMode(kLinkModeManual); })) return error;
  }
  if (main_.isNull()) return 0;
  ZipMain& main = *main_;
  const auto text = [&main](const char* name) { return Box(main, name)->text(); };
  const PanelAddress panel{text("Recipient"), text("Secondary"), text("Primary"), text("Urbanization"),
                           text("City"),      text("State"),     text("Zip"),     text("Plus4")};
  const LinkMerges merges{LinkField[kLinkSecondary].Merge, LinkField[kLinkState].Merge, LinkField[kLinkPlus4].Merge};
  const std::array<QString, kLinkFieldCount> texts = SendBackTexts(panel, merges);
  for (std::size_t i = 0; i < LinkField.size(); ++i) LinkField[i].Text = texts[i];

  // What the partner holds before anything is written.
  std::vector<std::size_t> items;
  for (std::size_t i = 0; i < LinkField.size(); ++i) {
    if (LinkField[i].Enabled && !LinkField[i].Merge) items.push_back(i);
  }
  std::array<QString, kLinkFieldCount> before;
  for (const std::size_t i : items) {
    DdeLinkField& field = LinkField[i];
    if (const int error = run([&field, &before, i] { return field.LinkRequest(before[i]); })) {
      sendFailure_ = QStringLiteral("The item %1 (%2) could not be read; nothing was sent.")
                         .arg(field.LinkItem, LinkFieldName(static_cast<int>(i)));
      return error;
    }
  }
  std::vector<std::size_t> written;
  for (const std::size_t i : items) {
    DdeLinkField& field = LinkField[i];
    const int error = run([&field] { return field.LinkPoke(); });
    if (error == 0) {
      written.push_back(i);
      continue;
    }
    // Undone in reverse order; each item is tried once.
    QStringList restored;
    QStringList kept;
    for (auto it = written.rbegin(); it != written.rend(); ++it) {
      DdeLinkField& done = LinkField[*it];
      done.Text = before[*it];
      (done.LinkPoke() == 0 ? restored : kept).prepend(done.LinkItem);
    }
    sendFailure_ = QStringLiteral("The item %1 (%2) was refused.").arg(field.LinkItem, LinkFieldName(static_cast<int>(i)));
    if (!restored.isEmpty()) {
      sendFailure_ += QStringLiteral(" The items sent before it were put back as they were: %1.")
                          .arg(restored.join(QStringLiteral(", ")));
    }
    if (!kept.isEmpty()) {
      sendFailure_ += QStringLiteral(" These could not be put back and hold the new address: %1.")
                          .arg(kept.join(QStringLiteral(", ")));
    }
    return error;
  }
  return 0;
}

int frmIcon::SendBackData() {
  return SendBack([](const Step& step) { return step(); });
}

void frmIcon::Linkit() {
  if (running_ || main_.isNull()) return;
  running_ = true;
  errors_ = 0;
  const auto done = qScopeGuard([this] { running_ = false; });

  const auto read = [this](int element) {
    DdeLinkField& field = LinkField[static_cast<std::size_t>(element)];
    return Retried([&field] { return field.SetLinkMode(kLinkModeAutomatic); });
  };
  for (DdeLinkField& field : LinkField) {
    if (!field.Enabled) continue;
    if (Retried([&field] { return field.SetLinkMode(kLinkModeManual); }) != 0) return;
  }
  QString recipient;
  LinkSearchValues values;
  QString zip;
  if (LinkField[kLinkRecipient].Enabled) {
    if (read(kLinkRecipient) != 0) return;
    recipient = FilterChars(LinkField[kLinkRecipient].Text, 4);
  }
  if (LinkField[kLinkSecondary].Enabled) {
    if (read(kLinkSecondary) != 0) return;
    values.secondary = SecondaryFromItem(LinkField[kLinkSecondary].Text);
  }
  if (LinkField[kLinkPrimary].Enabled) {
    if (read(kLinkPrimary) != 0) return;
    SplitPrimary(LinkField[kLinkPrimary].Text, values);
  }
  // A disabled ZIP code item is not read either: the search then has no
  // code to look up, and nothing is sent back.
  if (LinkField[kLinkZipCode].Enabled) {
    if (read(kLinkZipCode) != 0) return;
    zip = ZipFromItem(LinkField[kLinkZipCode].Text);
  }
  if (main_.isNull()) return;

  // The search form is emptied first, so that a value of an earlier search
  // never narrows this one.
  ZipMain& main = *main_;
  for (const char* name : {"SearchZip", "SearchRecipient", "SearchSecdry", "SearchNumber", "SearchStreet",
                           "SearchCity"}) {
    Box(main, name)->clear();
  }
  main.findChild<QComboBox*>(QStringLiteral("StateList"))->setEditText(QString());
  Box(main, "SearchRecipient")->setText(recipient);
  Box(main, "SearchNumber")->setText(values.number);
  Box(main, "SearchStreet")->setText(values.street);
  Box(main, "SearchSecdry")->setText(values.secondary);

  // Setting the ZIP code runs the change handling of the ZIP box as typing
  // does: a complete ZIP+4 lists its records and shows the first one. Only
  // an address shown by that lookup is sent back.
  bool panelChanged = false;
  const QMetaObject::Connection watch =
      connect(Box(main, "Zip"), &QLineEdit::textChanged, this, [&panelChanged] { panelChanged = true; });
  Box(main, "SearchZip")->setText(zip);
  disconnect(watch);
  if (main_.isNull()) return;
  if (!panelChanged || Box(main, "Zip")->text().isEmpty()) {
    main_->SetStatus(QStringLiteral("Choose the address and double click it to send it back"));
    return;
  }
  const int error = SendBack([this](const Step& step) { return Retried(step, false); });
  if (main_.isNull()) return;
  if (error == 0) {
    main_->SetStatus(QStringLiteral("Address Sent"));
    return;
  }
  QString message = LinkFailedText(error);
  if (!sendFailure_.isEmpty()) message += QStringLiteral("\n\n") + sendFailure_;
  MessageBox::critical(main_->dialogParent(), message);
}

// ---------------------------------------------------------------- windows and menu

frmIcon* FindIconWindow(const ZipMain& main) {
  frmIcon* icon = IconSlot();
  return icon != nullptr && icon->mainWindow() == &main ? icon : nullptr;
}

frmIcon& IconWindow(ZipMain& main) {
  if (frmIcon* icon = FindIconWindow(main)) return *icon;
  delete IconSlot().data();
  auto* icon = new frmIcon(main);
  // It has no parent to take it along: it goes with the main window.
  QObject::connect(&main, &QObject::destroyed, [guard = QPointer<frmIcon>(icon)] { delete guard.data(); });
  return *icon;
}

void mnuViewIcon_Click(ZipMain& main) {
  frmIcon& icon = IconWindow(main);
  if (!IconMenuItem(main)->isChecked()) {
    icon.hide();
    return;
  }
  icon.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  icon.show();
  icon.raise();
}

void IconSendAddress(ZipMain& form) {
  frmIcon& icon = IconWindow(form);
  const int error = icon.SendBackData();
  if (error == 0) {
    form.SetStatus(QStringLiteral("Address Sent"));
    return;
  }
  QString status = LinkFailedText(error);
  if (!icon.SendFailure().isEmpty()) status += QLatin1Char(' ') + icon.SendFailure();
  form.SetStatus(status);
}

}  // namespace corvellan
