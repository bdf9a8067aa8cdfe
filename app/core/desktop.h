// The program's ways out to the user and the desktop, each with a test seam:
// message boxes, file dialogs, opening documents and web pages, ending the
// process. In test mode nothing modal opens: a test prepares the answers in
// advance and reads back what would have been shown.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

namespace corvellan {

class MessageBox {
 public:
  enum class Icon { Critical, Question, Information, Warning };
  enum class Answer { Ok, Yes, No, Cancel };
  enum class Buttons { Ok, YesNo, YesNoCancel };

  struct Shown {
    Icon icon;
    QString title;
    QString text;
    bool selectable = false;  // the text can be selected and copied
  };

  // Shows a modal message box. An empty title gives the program's name.
  static Answer show(QWidget* parent, Icon icon, const QString& text, Buttons buttons = Buttons::Ok,
                     const QString& title = {});
  static void critical(QWidget* parent, const QString& text, const QString& title = {});
  // A critical message whose text can be selected and copied (an address
  // to take to another program).
  static void criticalSelectable(QWidget* parent, const QString& text, const QString& title = {});
  static void information(QWidget* parent, const QString& text, const QString& title = {});
  // Yes and No with the question icon; true for Yes.
  static bool questionYesNo(QWidget* parent, const QString& text, const QString& title = {});

  // Test seam. In test mode show() records the box and returns the next
  // prepared answer, or the safe one (No / Cancel / Ok) when none is left.
  static void setTestMode(bool on);
  static bool testMode();
  static void setNextAnswer(Answer answer);
  static QList<Shown> shown();
  static QStringList shownTexts();
  static void clearShown();
};

class FileDialog {
 public:
  // A save-file dialog; the chosen path, or empty when cancelled.
  static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                 const QString& proposedName, const QString& filter);
  // An open-file dialog; the chosen path, or empty when cancelled.
  static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                 const QString& filter);

  // An open-file dialog that takes several files; empty when cancelled.
  static QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& directory,
                                      const QString& filter);

  // Test seam: the next dialog returns this name at once (empty = cancelled;
  // for several files, names separated by ';').
  static void setNextFileName(const QString& name);
  static void clearNextFileName();
  // Test seam: what the last dialog was asked to show.
  struct Request {
    QString caption;
    QString directory;
    QString proposedName;
    QString filter;
  };
  static Request lastRequest();
};

class Desktop {
 public:
  // Hands a document or web page to the desktop; false when nothing could open it.
  static bool openUrl(const QUrl& url);
  // Ends the program at once with the exit code.
  static void endProgram(int code);

  // Test seams: a handler that replaces the desktop (its result is returned),
  // and an exit that only records the code and returns to the caller.
  static void setOpenUrlHandler(std::function<bool(const QUrl&)> handler);
  static void setExitHandler(std::function<void(int)> handler);
};

}  // namespace corvellan
