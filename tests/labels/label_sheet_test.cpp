// Label sheets read from the installed label-product database.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "labels/drawing/label_products.h"
#include "qtest_registry.h"

using namespace corvellan;

class LabelSheetTest : public QObject {
  Q_OBJECT

  static bool Near(double a, double b) { return std::abs(a - b) < 1e-6; }

 private slots:
  void lengthsCarryTheirUnits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("inches");
    QTest::newRow("in") << "2.625in" << 2.625;
    QTest::newRow("mm") << "25.4mm" << 1.0;
    QTest::newRow("cm") << "2.54cm" << 1.0;
    QTest::newRow("pt") << "36pt" << 0.5;
    QTest::newRow("bare points") << "72" << 1.0;
    QTest::newRow("pica") << "3pc" << 0.5;
    QTest::newRow("not a length") << "wide" << -1.0;
    QTest::newRow("unknown unit") << "3ft" << -1.0;
  }
  void lengthsCarryTheirUnits() {
    QFETCH(QString, text);
    QFETCH(double, inches);
    const std::optional<double> length = ProductLength(text);
    QCOMPARE(length.has_value(), inches >= 0);
    if (length) QVERIFY2(Near(*length, inches), qPrintable(QString::number(*length)));
  }

  // Avery 5160: 30 labels of 2 5/8 x 1 in on Letter, 3 across and 10 down,
  // the first at (5/32 in, 1/2 in), 2 25/32 in apart across and 1 in down.
  void avery5160FromTheInstalledDatabase() {
    if (!QDir(LabelProductsFolder()).exists()) QSKIP("glabels-data is not installed");
    QString error;
    const std::optional<LabelProduct> product = FindLabelProduct("avery 5160", &error);
    QVERIFY2(product, qPrintable(error));
    QCOMPARE(product->name, QStringLiteral("Avery 5160"));
    QCOMPARE(product->page, QSizeF(8.5, 11));
    QCOMPARE(product->label, QSizeF(2.625, 1));
    QCOMPARE(product->cells.size(), 30);
    for (int n = 1; n <= 30; ++n) {
      const int row = (n - 1) / 3;
      const int column = (n - 1) % 3;
      const QPointF expected(0.15625 + column * 2.78125, 0.5 + row * 1.0);
      QVERIFY2(Near(product->cells[n - 1].x(), expected.x()) && Near(product->cells[n - 1].y(), expected.y()),
               qPrintable(QStringLiteral("label %1").arg(n)));
    }
    // An equivalent product has the geometry of the one it names.
    const std::optional<LabelProduct> same = FindLabelProduct("Avery 5260");
    QVERIFY(same);
    QCOMPARE(same->cells, product->cells);
    // Products on A4 measured in points: 21 labels of 181.4 x 108 pt.
    const std::optional<LabelProduct> a4 = FindLabelProduct("Avery L7160", &error);
    QVERIFY2(a4, qPrintable(error));
    QCOMPARE(a4->cells.size(), 21);
    QVERIFY(Near(a4->page.width(), 210 / 25.4));
    QVERIFY(Near(a4->label.width(), 181.4 / 72));
    QVERIFY(Near(a4->cells[4].y(), (43.9 + 108) / 72));
    // A label-printer roll by its United States number: turned, 3.5 x 1.1 in.
    const std::optional<LabelProduct> dymo = FindLabelProduct("Dymo 30252", &error);
    QVERIFY2(dymo, qPrintable(error));
    QVERIFY(dymo->turned);
    QVERIFY(Near(dymo->label.width(), 89 / 25.4) && Near(dymo->label.height(), 28 / 25.4));
    QVERIFY(!FindLabelProduct("Avery 99999", &error));
    QVERIFY(error.contains("Avery 99999"));
  }

  void fillsFromTheStartingLabel_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("cell");
    QTest::newRow("first") << 0 << 1 << 0 << 0;
    QTest::newRow("last of the sheet") << 29 << 1 << 0 << 29;
    QTest::newRow("next sheet") << 30 << 1 << 1 << 0;
    QTest::newRow("35th") << 34 << 1 << 1 << 4;
    QTest::newRow("start 29") << 0 << 29 << 0 << 28;
    QTest::newRow("start 29, second") << 1 << 29 << 0 << 29;
    QTest::newRow("start 29, third") << 2 << 29 << 1 << 0;
    QTest::newRow("start beyond the sheet") << 0 << 99 << 0 << 29;
    QTest::newRow("start 0") << 0 << 0 << 0 << 0;
  }
  void fillsFromTheStartingLabel() {
    QFETCH(int, index);
    QFETCH(int, start);
    QFETCH(int, sheet);
    QFETCH(int, cell);
    const SheetPlace place = PlaceOnSheet(index, start, 30);
    QCOMPARE(place.sheet, sheet);
    QCOMPARE(place.cell, cell);
  }

  void aMissingDatabaseSaysWhatToInstall() {
    const QTemporaryDir empty;
    const LabelProductCatalog catalog = ReadLabelProducts(empty.path());
    QVERIFY(catalog.products.isEmpty());
    QVERIFY(catalog.error.contains("glabels-data"));
  }

  void malformedEntriesAreLeftOut() {
    const QTemporaryDir dir;
    QFile papers(dir.filePath("paper-sizes.xml"));
    QVERIFY(papers.open(QIODevice::WriteOnly));
    papers.write(R"(<Glabels-paper-sizes><Paper-size id="US-Letter" width="8.5in" height="11in"/></Glabels-paper-sizes>)");
    papers.close();
    QFile templates(dir.filePath("test-templates.xml"));
    QVERIFY(templates.open(QIODevice::WriteOnly));
    templates.write(R"(<Glabels-templates>
      <Template brand="X" part="1" size="US-Letter"><Label-rectangle width="2in" height="1in">
        <Layout nx="2" ny="2" x0="1in" y0="1in" dx="3in" dy="1.5in"/></Label-rectangle></Template>
      <Template brand="X" part="2" size="Nowhere"><Label-rectangle width="2in" height="1in">
        <Layout nx="1" ny="1" x0="0" y0="0"/></Label-rectangle></Template>
      <Template brand="X" part="3" size="US-Letter"><Label-rectangle width="broad" height="1in">
        <Layout nx="1" ny="1" x0="0" y0="0"/></Label-rectangle></Template>
      <Template brand="X" part="4" equiv="1"/>
      <Template brand="X" part="5" equiv="77"/>
      <Template brand="X" part="6" size="Other" width="4in" height="6in"><Label-round radius="1in">
        <Layout nx="1" ny="2" x0="1in" y0="1in" dx="0" dy="3in"/></Label-round></Template>
      <Template brand="X" part="7" size="US-Letter"><Label-rectangle width="2in" height="1in">
        <Layout nx="1" ny="1" x0="0" y0="0"/>
    )");
    templates.close();
    const LabelProductCatalog catalog = ReadLabelProducts(dir.path());
    QStringList names;
    for (const LabelProduct& p : catalog.products) names << p.name;
    QCOMPARE(names, (QStringList{"X 1", "X 4", "X 6", "X 7"}));
    QCOMPARE(catalog.products[0].cells, (QList<QPointF>{{1, 1}, {4, 1}, {1, 2.5}, {4, 2.5}}));
    QCOMPARE(catalog.products[2].page, QSizeF(4, 6));
    QCOMPARE(catalog.products[2].label, QSizeF(2, 2));
  }

  // A roll label for a label printer is described narrow side first; it is
  // turned so that the address reads along its long side, and goes to the
  // printer as its own size in landscape. Sheets, and labels of a page of
  // their own that are wider than long, stay as they are.
  void rollLabelsAreTurned() {
    const QTemporaryDir dir;
    QFile papers(dir.filePath("paper-sizes.xml"));
    QVERIFY(papers.open(QIODevice::WriteOnly));
    papers.write(R"(<Glabels-paper-sizes><Paper-size id="US-Letter" width="8.5in" height="11in"/></Glabels-paper-sizes>)");
    papers.close();
    QFile templates(dir.filePath("test-templates.xml"));
    QVERIFY(templates.open(QIODevice::WriteOnly));
    templates.write(R"(<Glabels-templates>
      <Template brand="R" part="roll" size="Other" width="28mm" height="89mm"><Label-rectangle width="28mm" height="89mm">
        <Layout nx="1" ny="1" x0="0" y0="0"/></Label-rectangle></Template>
      <Template brand="R" part="wide" size="Other" width="4in" height="1in"><Label-rectangle width="4in" height="1in">
        <Layout nx="1" ny="1" x0="0" y0="0"/></Label-rectangle></Template>
      <Template brand="R" part="full" size="US-Letter"><Label-rectangle width="8.5in" height="11in">
        <Layout nx="1" ny="1" x0="0" y0="0"/></Label-rectangle></Template>
      <Template brand="R" part="two" size="Other" width="1in" height="6in"><Label-rectangle width="1in" height="2.5in">
        <Layout nx="1" ny="2" x0="0" y0="0.5in" dx="0" dy="3in"/></Label-rectangle></Template>
    </Glabels-templates>)");
    templates.close();
    const LabelProductCatalog catalog = ReadLabelProducts(dir.path());
    QCOMPARE(catalog.products.size(), 4);
    struct Want {
      bool turned;
      QSizeF page, label;
      QPageLayout::Orientation orientation;
    };
    const Want wants[] = {{true, {89 / 25.4, 28 / 25.4}, {89 / 25.4, 28 / 25.4}, QPageLayout::Landscape},
                          {false, {4, 1}, {4, 1}, QPageLayout::Portrait},
                          {false, {8.5, 11}, {8.5, 11}, QPageLayout::Portrait},
                          {false, {1, 6}, {1, 2.5}, QPageLayout::Portrait}};
    for (int i = 0; i < 4; ++i) {
      const LabelProduct& p = catalog.products[i];
      const Want& want = wants[i];
      QVERIFY2(p.turned == want.turned, qPrintable(p.name));
      QVERIFY2(Near(p.page.width(), want.page.width()) && Near(p.page.height(), want.page.height()), qPrintable(p.name));
      QVERIFY2(Near(p.label.width(), want.label.width()) && Near(p.label.height(), want.label.height()),
               qPrintable(p.name));
      const QPageLayout layout = PageLayoutOf(p);
      QCOMPARE(layout.orientation(), want.orientation);
      // The printer gets the page in its own (portrait) size; the drawing sees it turned.
      const QSizeF media = layout.pageSize().size(QPageSize::Inch);
      const QSizeF drawn = layout.fullRect(QPageLayout::Inch).size();
      QVERIFY2(std::abs(drawn.width() - p.page.width()) < 0.01 && std::abs(drawn.height() - p.page.height()) < 0.01,
               qPrintable(p.name));
      QVERIFY2(!want.turned || media.width() < media.height(), qPrintable(p.name));
    }
    QVERIFY(Near(catalog.products[0].cells.first().x(), 0) && Near(catalog.products[0].cells.first().y(), 0));
  }
};

CORVELLAN_TEST_CLASS(LabelSheetTest);

#include "label_sheet_test.moc"
