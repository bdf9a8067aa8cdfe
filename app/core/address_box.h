// The one-line Address box above the search fields. Enter splits the line
// into the search fields (free-form matching, matcher/), runs the usual
// search and, when the match is exact or corrected, selects and shows that
// record's line. The search fields keep working on their own.
//
// The matcher reads the data file through a reader object of its own (the
// engine library's process-wide state is not touched), opened at the first
// Enter from the data directory the program found at start-up.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

class QLineEdit;

namespace corvdb {
class ReadZipFile;
}
namespace corvellan::matcher {
class AddressMatcher;
class PlaceNames;
}  // namespace corvellan::matcher

namespace corvellan {

class ZipMain;

class AddressBox : public QObject {
  Q_OBJECT

 public:
  // Puts the label "&Whole Address" (Alt+W: every letter of "Address" is the
  // access key of a control already) and the box (objectName "AddressLine") above the
  // search frame of `window`, first in the tab order.
  explicit AddressBox(ZipMain& window);
  ~AddressBox() override;

  QLineEdit* line() const { return line_; }
  // Enter in the box.
  void AddressLine_Enter();

 private:
  bool openMatcher();

  ZipMain& window_;
  QLineEdit* line_ = nullptr;
  QString openedDir_;
  std::string openedStamp_;  // the files the matcher was opened from
  std::unique_ptr<corvdb::ReadZipFile> reader_;
  std::unique_ptr<matcher::PlaceNames> places_;
  std::unique_ptr<matcher::AddressMatcher> matcher_;
};

}  // namespace corvellan
