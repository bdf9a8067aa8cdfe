// The icon window on a real X server with a window manager (run by
// icon_window_x11_test.sh under Xvfb and openbox): it stays above other
// windows, a right-button drag moves it and stores its place, a left click
// never moves it. The pointer is driven with xdotool, the result read back
// from the X server.
#include <QAction>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/form_placement.h"
#include "core/settings.h"
#include "link_test_support.h"
#include "qtest_registry.h"
#include "search_session.h"
#include "transfer/icon_window.h"

using namespace corvellan;
using corvellan::test::ContactsLinkSettings;
using corvellan::test::RecordedLink;
using corvellan::test::SearchSession;

namespace {

// Runs a command to its end while the program keeps handling its events.
QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 10000)) return "(hung)";
  return QString::fromUtf8(process.readAllStandardOutput());
}

QString Hex(WId id) { return QStringLiteral("0x%1").arg(id, 0, 16); }

// The window's position on the screen, as the X server has it.
QPoint ServerPosition(WId id) {
  const QString info = Run("xwininfo", {"-id", Hex(id)});
  const auto x = QRegularExpression(R"(Absolute upper-left X:\s+(-?\d+))").match(info);
  const auto y = QRegularExpression(R"(Absolute upper-left Y:\s+(-?\d+))").match(info);
  return x.hasMatch() && y.hasMatch() ? QPoint(x.captured(1).toInt(), y.captured(1).toInt()) : QPoint(-1, -1);
}

// Client windows from bottom to top, as the window manager stacks them.
QStringList Stacking() {
  const QString line = Run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
  QStringList ids;
  for (const auto& match : QRegularExpression(R"(0x[0-9a-f]+)").globalMatch(line)) {
    ids.append(QStringLiteral("0x%1").arg(match.captured(0).mid(2).toULongLong(nullptr, 16), 0, 16));
  }
  return ids;
}

}  // namespace

class IconWindowX11Test : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;
  std::unique_ptr<RecordedLink> link_;

  frmIcon& icon() { return IconWindow(s_->window); }
  QPoint iconCentre() { return icon().mapToGlobal(icon().rect().center()); }

 private slots:
  void initTestCase() { QVERIFY2(QGuiApplication::platformName() == "xcb", "run me through icon_window_x11_test.sh"); }
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
    link_ = std::make_unique<RecordedLink>();
    s_->env.writeFile(s_->env.iniPath(), s_->env.readFile(s_->env.iniPath()) + ContactsLinkSettings());
    s_->window.findChild<QAction*>("mnuViewIcon")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&icon()));
  }
  void cleanup() {
    s_.reset();
    link_.reset();
  }

  void theIconStaysAboveTheMainWindow() {
    const QString iconId = Hex(icon().winId());
    const QString mainId = Hex(s_->window.winId());
    QVERIFY(QTest::qWaitFor([&] { return Run("xprop", {"-id", iconId, "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE"); }));
    // Put the main window over the icon's place and make it active.
    s_->window.move(icon().pos() - QPoint(50, 50));
    // (Not waiting for the activation: a window manager may refuse it.)
    Run("xdotool", {"windowactivate", QString::number(s_->window.winId())});
    Run("xdotool", {"windowraise", QString::number(s_->window.winId())});
    QVERIFY(QTest::qWaitFor([&] { return Stacking().contains(mainId) && Stacking().contains(iconId); }));
    QTest::qWait(300);
    const QStringList order = Stacking();
    QVERIFY2(order.indexOf(iconId) > order.indexOf(mainId), qPrintable(order.join(' ')));
  }

  void aRightDragMovesTheIconAndStoresItsPlace() {
    const QPoint start = ServerPosition(icon().winId());
    const QPoint grab = iconCentre();
    Run("xdotool", {"mousemove", "--sync", QString::number(grab.x()), QString::number(grab.y()), "mousedown", "3"});
    Run("xdotool", {"mousemove", "--sync", QString::number(grab.x() + 70), QString::number(grab.y() + 40)});
    Run("xdotool", {"mouseup", "3"});
    QVERIFY(QTest::qWaitFor([&] { return ServerPosition(icon().winId()) == start + QPoint(70, 40); }));
    QVERIFY(QTest::qWaitFor([&] { return !GetIni(App().IniFile, "General Settings", "Icon Form Left").isEmpty(); }));
    QCOMPARE(GetIni(App().IniFile, "General Settings", "Icon Form Left"),
             QString::number(PixelsToTwips(&icon(), start.x() + 70)));
    QCOMPARE(GetIni(App().IniFile, "General Settings", "Icon Form Top"),
             QString::number(PixelsToTwips(&icon(), start.y() + 40)));
    QCOMPARE(GetIni(App().IniFile, "General Settings", "Icon Form Width"),
             QString::number(PixelsToTwips(&icon(), icon().width())));
  }

  void aLeftClickLinksButNeverMoves() {
    link_->table->items = {{"ADDRESS", "200 Main St"}, {"ADDRESS2", ""}, {"ZIP", "12345-1003"}};
    const QPoint start = ServerPosition(icon().winId());
    const QPoint grab = iconCentre();
    // A press, a move with the button held and a release: still a click.
    Run("xdotool", {"mousemove", "--sync", QString::number(grab.x()), QString::number(grab.y()), "mousedown", "1"});
    Run("xdotool", {"mousemove", "--sync", QString::number(grab.x() + 60), QString::number(grab.y() + 30)});
    Run("xdotool", {"mouseup", "1"});
    QVERIFY(QTest::qWaitFor([&] { return link_->table->pokes().size() == 5; }));
    QTest::qWait(300);
    QCOMPARE(ServerPosition(icon().winId()), start);
    QCOMPARE(GetIni(App().IniFile, "General Settings", "Icon Form Left"), QString());
  }
};

CORVELLAN_TEST_CLASS(IconWindowX11Test);
#include "icon_window_x11_test.moc"
