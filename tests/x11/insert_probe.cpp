// A stand-in for the program an address is typed into: one window with input
// fields, the keyboard in the first. Whenever a field changes, the fields are
// written to a file, one line each, so that a test can read what arrived.
//
//   insert_probe --caption TITLE --out FILE [--fields N] [--extra TITLE]... [--windows N] [--lines]
//
// With --lines, Enter in a field adds the field's text to FILE as a line and
// empties the field instead (for many insertions in a row).
// (Not --title: Qt programs on X11 take that option for themselves.)
// --extra opens another (empty) window with that title; --windows N opens N
// more, titled "Probe Window 1" ... Prints "ready" once every window is up.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption titleOption("caption", "window title", "title", "Insert Probe");
  const QCommandLineOption outOption("out", "file the fields are written to", "file");
  const QCommandLineOption fieldsOption("fields", "number of input fields", "n", "5");
  const QCommandLineOption extraOption("extra", "another window with this title", "title");
  const QCommandLineOption windowsOption("windows", "number of further windows", "n", "0");
  const QCommandLineOption linesOption("lines", "Enter adds the field to the file as a line");
  parser.addOptions({titleOption, outOption, fieldsOption, extraOption, windowsOption, linesOption});
  parser.process(app);

  std::vector<std::unique_ptr<QWidget>> windows;
  auto main = std::make_unique<QWidget>();
  main->setWindowTitle(parser.value(titleOption));
  auto* layout = new QFormLayout(main.get());
  QList<QLineEdit*> fields;
  for (int i = 0; i < parser.value(fieldsOption).toInt(); ++i) {
    auto* field = new QLineEdit(main.get());
    field->setObjectName(QStringLiteral("Field%1").arg(i + 1));
    field->setMinimumWidth(300);
    layout->addRow(QStringLiteral("Field %1").arg(i + 1), field);
    fields.append(field);
  }
  const QString out = parser.value(outOption);
  const auto save = [fields, out] {
    if (out.isEmpty()) return;
    QStringList lines;
    for (const QLineEdit* field : fields) lines.append(field->text());
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(lines.join(QLatin1Char('\n')).toUtf8());
    file.commit();
  };
  if (parser.isSet(linesOption)) {
    for (QLineEdit* field : fields) {
      QObject::connect(field, &QLineEdit::returnPressed, [field, out] {
        QFile file(out);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write(field->text().toUtf8() + '\n');
        field->clear();
      });
    }
  } else {
    for (QLineEdit* field : fields) QObject::connect(field, &QLineEdit::textChanged, save);
  }
  main->move(40, 40);
  windows.push_back(std::move(main));

  QStringList titles = parser.values(extraOption);
  for (int i = 1; i <= parser.value(windowsOption).toInt(); ++i) titles.append(QStringLiteral("Probe Window %1").arg(i));
  for (const QString& title : titles) {
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(title);
    window->resize(160, 40);
    windows.push_back(std::move(window));
  }
  // The probe's own window comes up last, on top, with the keyboard in its
  // first field.
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) (*it)->show();
  if (!fields.isEmpty()) fields.front()->setFocus();
  // Ready once every window is up and the probe's own window has the
  // keyboard: by then a window manager has done with the new windows (it
  // gives each one the focus as it comes up).
  windows.front()->activateWindow();
  QTimer ready;
  QElapsedTimer waited;
  waited.start();
  QObject::connect(&ready, &QTimer::timeout, [&windows, &ready, &waited] {
    for (const auto& window : windows) {
      if (window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) return;
    }
    if (!windows.front()->isActiveWindow() && waited.elapsed() < 5000) {
      windows.front()->activateWindow();
      return;
    }
    ready.stop();
    std::puts("ready");
    std::fflush(stdout);
  });
  ready.start(50);
  return QApplication::exec();
}
