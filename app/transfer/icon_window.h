// frmIcon: the floating icon window. A small frameless window that stays on
// top of other programs and shows the program's icon. A left click (or Enter
// or Space while it has the focus) fetches the address shown in the link
// partner, looks it up through the search form of the main window and sends
// the address found back; dragging with the right or middle button moves it,
// and its place is kept as "Icon Form" in "General Settings".
//
// While it is shown (View, Icon for DDE), a double click in the results
// sends the chosen address to the partner instead of typing it.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

#include "core/zip_main.h"
#include "transfer/dde_link.h"
#include "transfer/link_address.h"

class QLabel;

namespace corvellan {

class frmIcon : public QWidget {
  Q_OBJECT

 public:
  // Form_Load: restores the stored place, takes its size of 480 by 480
  // twips and loads the link settings.
  explicit frmIcon(ZipMain& main);
  ~frmIcon() override;

  ZipMain* mainWindow() const { return main_; }

  // The eight link fields (element order of LinkElement).
  std::array<DdeLinkField, kLinkFieldCount> LinkField;

  // Fetches the partner's address into the search form and sends the
  // address found back. A failing step is tried again until three errors
  // have occurred; the third is reported ("DDE Link Failed (Error n) -
  // please check DDE Setup"). The address is sent back only when the ZIP
  // code read led to an address in the address panel during this run: an
  // empty or earlier address never overwrites the partner's.
  void Linkit();

  // Sends the address panel to the partner's enabled items. The items are
  // read first; when one is refused, those already written get their
  // earlier values back, so that the partner never keeps half an address.
  // Returns 0 or the error number of the first call that failed (the rest
  // are not sent); SendFailure() then says which item and what was undone.
  int SendBackData();
  const QString& SendFailure() const { return sendFailure_; }

  QLabel* Image1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Image1_MouseDown(Qt::MouseButton button, const QPoint& global);
  void Image1_MouseMove(Qt::MouseButtons buttons, const QPoint& global);
  void Image1_MouseUp(Qt::MouseButton button);
  using Step = std::function<int()>;
  // Runs `step` until it succeeds or the run of Linkit has seen three
  // errors; returns 0, or the last error (reported when `report` is set).
  int Retried(const Step& step, bool report = true);
  // SendBackData with each call to the partner made through `run`.
  int SendBack(const std::function<int(const Step&)>& run);

  QPointer<ZipMain> main_;
  bool running_ = false;
  int errors_ = 0;
  QString sendFailure_;
  bool dragging_ = false;
  QPoint dragStartPointer_;
  QPoint dragStartPlace_;
};

// The icon window of `main` when it has been made, else nullptr.
frmIcon* FindIconWindow(const ZipMain& main);
// The icon window of `main`, made (hidden) on demand.
frmIcon& IconWindow(ZipMain& main);

// View, Icon for DDE (a checkable item, already toggled): shows the icon
// window on top of every window without activating it, or hides it.
void mnuViewIcon_Click(ZipMain& main);

// Sends the address of the address panel to the partner through the icon
// window (a double click in the results while View, Icon for DDE is on).
// A failure is shown in the status bar.
void IconSendAddress(ZipMain& form);

}  // namespace corvellan
