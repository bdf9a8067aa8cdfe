#include "core/desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <utility>

namespace corvellan {

namespace {

struct MessageSeam {
  bool testMode = false;
  std::deque<MessageBox::Answer> answers;
  QList<MessageBox::Shown> shown;
};

MessageSeam& Messages() {
  static MessageSeam seam;
  return seam;
}

std::optional<QString>& NextFileName() {
  static std::optional<QString> name;
  return name;
}

FileDialog::Request& LastFileRequest() {
  static FileDialog::Request request;
  return request;
}

std::function<bool(const QUrl&)>& OpenUrlHandler() {
  static std::function<bool(const QUrl&)> handler;
  return handler;
}

// Set for the next box only: its text can be selected.
bool& NextSelectable() {
  static bool selectable = false;
  return selectable;
}

std::function<void(int)>& ExitHandler() {
  static std::function<void(int)> handler;
  return handler;
}

QString ProgramTitle() {
  const QString name = QApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Corvellan") : name;
}

MessageBox::Answer SafeAnswer(MessageBox::Buttons buttons) {
  switch (buttons) {
    case MessageBox::Buttons::YesNo:
      return MessageBox::Answer::No;
    case MessageBox::Buttons::YesNoCancel:
      return MessageBox::Answer::Cancel;
    case MessageBox::Buttons::Ok:
      break;
  }
  return MessageBox::Answer::Ok;
}

}  // namespace

MessageBox::Answer MessageBox::show(QWidget* parent, Icon icon, const QString& text, Buttons buttons,
                                    const QString& title) {
  const QString caption = title.isEmpty() ? ProgramTitle() : title;
  const bool selectable = std::exchange(NextSelectable(), false);
  MessageSeam& seam = Messages();
  if (seam.testMode) {
    seam.shown.append({icon, caption, text, selectable});
    if (seam.answers.empty()) return SafeAnswer(buttons);
    const Answer answer = seam.answers.front();
    seam.answers.pop_front();
    return answer;
  }

  QMessageBox box(parent);
  box.setWindowTitle(caption);
  box.setText(text);
  if (selectable) box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  switch (icon) {
    case Icon::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
    case Icon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case Icon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case Icon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
  }
  switch (buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      break;
  }
  // A window of the program that stays on top (the insert settings, the
  // icon window) would hide the box: it stays on top as well.
  for (const QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
      box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
      break;
    }
  }
  const QPointer<QWidget> hadFocus = QApplication::activeWindow();
  const int pressed = box.exec();
  // Without a window manager the keyboard goes to the root window when the
  // box closes: it goes back to the program's window that had it.
  if (hadFocus != nullptr && hadFocus->isVisible()) hadFocus->activateWindow();
  switch (pressed) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    default:
      break;
  }
  // Closing the box with Escape or its close button counts as the safe answer.
  return buttons == Buttons::Ok ? Answer::Ok : SafeAnswer(buttons);
}

void MessageBox::critical(QWidget* parent, const QString& text, const QString& title) {
  show(parent, Icon::Critical, text, Buttons::Ok, title);
}

void MessageBox::criticalSelectable(QWidget* parent, const QString& text, const QString& title) {
  NextSelectable() = true;
  show(parent, Icon::Critical, text, Buttons::Ok, title);
}

void MessageBox::information(QWidget* parent, const QString& text, const QString& title) {
  show(parent, Icon::Information, text, Buttons::Ok, title);
}

bool MessageBox::questionYesNo(QWidget* parent, const QString& text, const QString& title) {
  return show(parent, Icon::Question, text, Buttons::YesNo, title) == Answer::Yes;
}

void MessageBox::setTestMode(bool on) {
  MessageSeam& seam = Messages();
  seam.testMode = on;
  seam.answers.clear();
  seam.shown.clear();
}

bool MessageBox::testMode() { return Messages().testMode; }

void MessageBox::setNextAnswer(Answer answer) { Messages().answers.push_back(answer); }

QList<MessageBox::Shown> MessageBox::shown() { return Messages().shown; }

QStringList MessageBox::shownTexts() {
  QStringList texts;
  for (const Shown& box : Messages().shown) texts.append(box.text);
  return texts;
}

void MessageBox::clearShown() { Messages().shown.clear(); }

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& proposedName, const QString& filter) {
  LastFileRequest() = {caption, directory, proposedName, filter};
  if (auto& next = NextFileName(); next.has_value()) {
    const QString name = *next;
    next.reset();
    return name;
  }
  QString start = directory;
  if (!proposedName.isEmpty()) start = directory.isEmpty() ? proposedName : directory + "/" + proposedName;
  return QFileDialog::getSaveFileName(parent, caption, start, filter);
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter) {
  LastFileRequest() = {caption, directory, QString(), filter};
  if (auto& next = NextFileName(); next.has_value()) {
    const QString name = *next;
    next.reset();
    return name;
  }
  return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QStringList FileDialog::getOpenFileNames(QWidget* parent, const QString& caption, const QString& directory,
                                         const QString& filter) {
  if (auto& next = NextFileName(); next.has_value()) {
    QStringList names;
    for (const QString& name : next->split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      if (!name.trimmed().isEmpty()) names.append(name.trimmed());
    }
    next.reset();
    return names;
  }
  return QFileDialog::getOpenFileNames(parent, caption, directory, filter);
}

void FileDialog::setNextFileName(const QString& name) { NextFileName() = name; }

void FileDialog::clearNextFileName() { NextFileName().reset(); }

FileDialog::Request FileDialog::lastRequest() { return LastFileRequest(); }

bool Desktop::openUrl(const QUrl& url) {
  if (const auto& handler = OpenUrlHandler()) return handler(url);
  return QDesktopServices::openUrl(url);
}

void Desktop::endProgram(int code) {
  if (const auto& handler = ExitHandler()) {
    handler(code);
    return;
  }
  std::fflush(nullptr);
  // Without running static destructors: the main window and QApplication are
  // still alive on the stack of main(), and settings files are never half-written.
  std::_Exit(code);
}

void Desktop::setOpenUrlHandler(std::function<bool(const QUrl&)> handler) { OpenUrlHandler() = std::move(handler); }

void Desktop::setExitHandler(std::function<void(int)> handler) { ExitHandler() = std::move(handler); }

}  // namespace corvellan
