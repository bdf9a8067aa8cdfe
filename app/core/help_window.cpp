#include "core/help_window.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "core/desktop.h"
#include "core/startup.h"
#include "core/zip_main.h"

namespace corvellan {

namespace {

constexpr char kHelpWindowName[] = "HelpWindow";

bool IsLocal(const QUrl& url) { return url.isLocalFile() || url.scheme().isEmpty(); }

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QLatin1String(kHelpWindowName));
  setProperty(kFormProperty, true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(false);
  resize(760, 620);

  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  // Every link comes to LinkClicked: documents and sections open here, web
  // pages through the desktop.
  browser_->setOpenLinks(false);

  back_ = new QPushButton(QStringLiteral("&Back"), this);
  back_->setObjectName(QStringLiteral("HelpBack"));
  forward_ = new QPushButton(QStringLiteral("&Forward"), this);
  forward_->setObjectName(QStringLiteral("HelpForward"));
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  close->setObjectName(QStringLiteral("HelpClose"));
  back_->setAutoDefault(false);
  forward_->setAutoDefault(false);
  close->setAutoDefault(false);
  back_->setEnabled(false);
  forward_->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back_);
  buttons->addWidget(forward_);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addLayout(buttons);

  connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::LinkClicked);
  connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::SourceChanged);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
  connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
}

bool HelpWindow::ShowDocument(QWidget* owner, const QString& file) {
  const QFileInfo info(file);
  if (!info.isFile() || !info.isReadable()) return false;
  auto* window = owner != nullptr ? owner->findChild<HelpWindow*>(QLatin1String(kHelpWindowName),
                                                                  Qt::FindDirectChildrenOnly)
                                  : nullptr;
  if (window == nullptr) window = new HelpWindow(owner);
  window->setWindowFlag(Qt::Window, true);
  window->browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
  window->show();
  window->raise();
  window->activateWindow();
  return true;
}

void HelpWindow::LinkClicked(const QUrl& link) {
  const QUrl target = browser_->source().resolved(link);
  if (!IsLocal(target)) {
    if (!Desktop::openUrl(target)) MessageBox::criticalSelectable(this, NoBrowserText(target));
    return;
  }
  // A section of the document on show, or another document beside it.
  if (!QFileInfo::exists(target.toLocalFile())) {
    MessageBox::critical(this, DocErrorText(kDocFileNotFound));
    return;
  }
  browser_->setSource(target, QTextDocument::HtmlResource);
}

void HelpWindow::SourceChanged() {
  const QString title = browser_->documentTitle();
  const QString name = QFileInfo(browser_->source().toLocalFile()).fileName();
  setWindowTitle((title.isEmpty() ? name : title) + QStringLiteral(" - Corvellan"));
}

}  // namespace corvellan
