// The program's own window for its help documents, for a desktop where no
// program opens HTML. The documents are simple HTML with one stylesheet;
// links between them and to their sections are followed here, web links go
// to the desktop.
#pragma once

#include <QDialog>
#include <QUrl>

class QPushButton;
class QTextBrowser;

namespace corvellan {

class HelpWindow : public QDialog {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows `file` (a local HTML document) in the help window of `owner`,
  // creating the window on first use, and brings it to the front. False
  // when the document cannot be read.
  static bool ShowDocument(QWidget* owner, const QString& file);

  QTextBrowser* browser() const { return browser_; }

 private:
  void LinkClicked(const QUrl& link);
  void SourceChanged();

  QTextBrowser* browser_;
  QPushButton* back_;
  QPushButton* forward_;
};

}  // namespace corvellan
