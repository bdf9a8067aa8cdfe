// The About window: version, program and data directories, the date of the
// database, and links to the vendor's pages. Also the start-up splash.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

namespace corvellan {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
  ~AboutDialog() override;

  void setDirectories(const QString& programDir, const QString& dataDir, const QString& dataDate);

 signals:
  // A link was clicked: 3 home page, 4 support page, 6 order page (the
  // numbering of the Help menu's documents).
  void linkRequested(int index);

 private:
  std::unique_ptr<Ui::AboutDialog> ui_;
};

}  // namespace corvellan
