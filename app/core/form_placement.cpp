#include "core/form_placement.h"

#include <QAction>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "core/app_globals.h"
#include "core/settings.h"

namespace corvellan {

namespace {

constexpr char kSection[] = "General Settings";
// A window frame wider than this on one side is a passing value, not a frame.
constexpr int kMaxFrameMargin = 200;

qreal LogicalDpi(const QWidget* widget) {
  QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const qreal dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
  return dpi > 0 ? dpi : 96.0;
}

// A stored coordinate: 0, missing, malformed or beyond 16 bits is not applied.
int StoredTwips(const QString& key) {
  const long value = IniNumber(GetIni(App().IniFile, QLatin1String(kSection), key));
  if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max()) return 0;
  return static_cast<int>(value);
}

bool NormalState(const QWidget* form) {
  return (form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) == 0;
}

bool OnSomeScreen(const QRect& frame) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().intersects(frame)) return true;
  }
  return false;
}

}  // namespace

int PixelsToTwips(const QWidget* widget, int pixels) {
  return static_cast<int>(std::lround(pixels * kTwipsPerInch / LogicalDpi(widget)));
}

int TwipsToPixels(const QWidget* widget, int twips) {
  return static_cast<int>(std::lround(twips * LogicalDpi(widget) / kTwipsPerInch));
}

QString PlacementPrefix(const QWidget* form) {
  const long tag = IniNumber(form->property("Tag").toString());
  if (tag == 1) return QStringLiteral("Main Form ");
  if (tag == 4) return QStringLiteral("Icon Form ");
  return {};
}

QRect RestoreFormPlacement(QWidget* form, QAction* onTopItem) {
  const QString prefix = PlacementPrefix(form);
  if (prefix.isEmpty()) return {};
  if (IniNumber(form->property("Tag").toString()) == 1) {
    const bool onTop = IniYes(GetIni(App().IniFile, QLatin1String(kSection), prefix + QLatin1String("On Top")));
    if (onTopItem != nullptr) onTopItem->setChecked(onTop);
    ApplyOnTop(form, onTop);
  }
  if (!NormalState(form)) return {};

  // The stored values describe the outer rectangle (title bar and borders
  // included); Qt sizes the inside, so the frame is taken off when known.
  const int left = StoredTwips(prefix + QLatin1String("Left"));
  const int top = StoredTwips(prefix + QLatin1String("Top"));
  const int height = StoredTwips(prefix + QLatin1String("Height"));
  const int width = StoredTwips(prefix + QLatin1String("Width"));
  if (left == 0 && top == 0 && height == 0 && width == 0) return {};
  QRect wanted = form->frameGeometry();
  if (left != 0) wanted.moveLeft(TwipsToPixels(form, left));
  if (top != 0) wanted.moveTop(TwipsToPixels(form, top));
  if (height != 0) wanted.setHeight(TwipsToPixels(form, height));
  if (width != 0) wanted.setWidth(TwipsToPixels(form, width));
  if (!OnSomeScreen(wanted)) return {};  // a screen that is gone: keep the design place
  form->move(wanted.topLeft());
  ApplyOuterSize(form, wanted);
  return wanted;
}

void ApplyOuterSize(QWidget* form, const QRect& outer) {
  const QRect frame = form->frameGeometry();
  const QRect inner = form->geometry();
  form->resize(std::max(1, outer.width() - (frame.width() - inner.width())),
               std::max(1, outer.height() - (frame.height() - inner.height())));
}

void FinishRestoredPlacement(QWidget* form, const QRect& outer, int waitMs) {
  // The frame arrives some time after the window is mapped (the manager
  // reparents it, then announces the frame's extents), and what the window
  // system reports meanwhile can be passing values; so the frame is looked
  // at in short intervals, and the inside placed again until it sits where
  // the frame found asks for.
  auto* timer = new QTimer(form);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, form, [form, timer, outer, clock, waitMs] {
    const QWindow* window = form->windowHandle();
    if (clock->elapsed() >= waitMs || window == nullptr || !NormalState(form)) {
      timer->deleteLater();
      return;
    }
    const QMargins frame = window->frameMargins();
    const auto plausible = [](int margin) { return margin >= 0 && margin <= kMaxFrameMargin; };
    if (frame.isNull() || !plausible(frame.left()) || !plausible(frame.top()) || !plausible(frame.right()) ||
        !plausible(frame.bottom())) {
      return;
    }
    const QRect inside = outer.marginsRemoved(frame);
    if (inside.width() < 1 || inside.height() < 1) {
      timer->deleteLater();
      return;
    }
    if (form->geometry() == inside) {
      // In place with its frame: from now on the user moves it.
      timer->deleteLater();
      return;
    }
    form->setGeometry(inside);
  });
  timer->start(10);
}

void SaveFormPlacement(const QWidget* form, const QAction* onTopItem) {
  const QString prefix = PlacementPrefix(form);
  if (prefix.isEmpty()) return;
  const QString& ini = App().IniFile;
  const QString section = QLatin1String(kSection);
  if (IniNumber(form->property("Tag").toString()) == 1) {
    const bool onTop = onTopItem != nullptr && onTopItem->isChecked();
    WriteIni(section, prefix + QLatin1String("On Top"), onTop ? QStringLiteral("Yes") : QStringLiteral("No"), ini);
  }
  if (!NormalState(form)) return;
  const QRect frame = form->frameGeometry();
  WriteIni(section, prefix + QLatin1String("Left"), QString::number(PixelsToTwips(form, frame.x())), ini);
  WriteIni(section, prefix + QLatin1String("Top"), QString::number(PixelsToTwips(form, frame.y())), ini);
  WriteIni(section, prefix + QLatin1String("Height"), QString::number(PixelsToTwips(form, frame.height())), ini);
  WriteIni(section, prefix + QLatin1String("Width"), QString::number(PixelsToTwips(form, frame.width())), ini);
}

void ApplyOnTop(QWidget* form, bool onTop) {
  if (form->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  if (!form->isVisible()) {
    // Remembered for the moment the window is shown.
    form->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    return;
  }
  // Changing a window flag hides a visible window; show it again in place,
  // without taking the focus from whichever window has it.
  const QRect place = form->geometry();
  const bool noActivate = form->testAttribute(Qt::WA_ShowWithoutActivating);
  form->setAttribute(Qt::WA_ShowWithoutActivating, true);
  form->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  form->setGeometry(place);
  form->show();
  form->setAttribute(Qt::WA_ShowWithoutActivating, noActivate);
}

QPoint CenteredPosition(const QRect& screen, const QSize& size, int mode, bool* applies) {
  double divisor = 0;
  switch (mode) {
    case 0:
      divisor = 2.0;
      break;
    case 1:
      divisor = 1.2;
      break;
    case 2:
      divisor = 4.0;
      break;
    default:
      *applies = false;
      return {};
  }
  *applies = true;
  // A window larger than the screen keeps its title bar on the screen.
  const int x = screen.x() + std::max(0, (screen.width() - size.width()) / 2);
  const int y = screen.y() + std::max(0, static_cast<int>((screen.height() - size.height()) / divisor));
  return {x, y};
}

void CenterForm(QWidget* form, int mode) {
  QScreen* screen = form->screen() != nullptr ? form->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  bool applies = false;
  const QPoint corner = CenteredPosition(screen->geometry(), form->frameGeometry().size(), mode, &applies);
  if (applies) form->move(corner);
}

}  // namespace corvellan
