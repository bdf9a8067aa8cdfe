// Label products: sheets of labels (Avery 5160, 30 labels to a Letter
// sheet, and the like) as the label-product database installed with
// Debian's glabels-data describes them. That database is a folder of XML
// files read at run time:
//
//   paper-sizes.xml: <Paper-size id="US-Letter" width="8.5in" height="11in"/>
//   *-templates.xml: <Template brand="Avery" part="5160" size="US-Letter">
//                      <Label-rectangle width="2.625in" height="1in">
//                        <Layout nx="3" ny="10" x0="0.15625in" y0="0.5in"
//                                dx="2.78125in" dy="1in"/>
//                    or <Template brand="Avery" part="5260" equiv="5160"/>
//
// A product's page is its paper size (or, for size="Other", the Template's
// own width and height); its labels are the Layout grids of its first label
// shape, each grid read row by row, left to right. Lengths carry a unit
// (in, mm, cm, pt, pc; none means points).
#pragma once

#include <QList>
#include <QPageLayout>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvellan {

struct LabelProduct {
  QString name;         // brand and part, "Avery 5160"
  QString description;  // "Address Labels"
  QSizeF page;          // inches
  QSizeF label;         // inches
  QList<QPointF> cells; // top-left corner of each label on the sheet, inches, in fill order
  // A roll label for a label printer is described as it leaves the printer,
  // narrow side first (Dymo 99010: 28 x 89 mm, one to a page). The address
  // reads along its long side, so such a product is turned: page, label and
  // cell are given as the address sees them (89 x 28 mm), and the page goes
  // to the printer as its own size in landscape (PageLayoutOf).
  bool turned = false;
};

// The page of a product as the printer takes it: its size (portrait) and,
// for a turned product, landscape.
QPageLayout PageLayoutOf(const LabelProduct& product);

// The folder the database is read from: $CORVELLAN_LABEL_PRODUCTS when set,
// else the one glabels-data installs.
QString LabelProductsFolder();

// A length of the database in inches; nothing for text that is not one.
std::optional<double> ProductLength(const QString& text);

struct LabelProductCatalog {
  QList<LabelProduct> products;  // in the order of the files, names unique
  QString error;                 // why none could be read (missing package)
};
// Reads every product of the folder.
LabelProductCatalog ReadLabelProducts(const QString& folder);

// The product of that name (brand and part, any letter case) in the folder
// LabelProductsFolder() names; the catalogue is read once. Nothing, with the
// reason in `error`, when there is no such product or no database.
std::optional<LabelProduct> FindLabelProduct(const QString& name, QString* error = nullptr);
// The names of all products of that folder ("" on error).
QStringList LabelProductNames(QString* error = nullptr);

// Where the label number `index` (0-based) of a print run goes on sheets of
// `cellsPerSheet` labels when the run starts at label `startLabel` (1-based)
// of the first sheet: its sheet (0-based) and its cell on that sheet.
struct SheetPlace {
  int sheet = 0;
  int cell = 0;
};
SheetPlace PlaceOnSheet(int index, int startLabel, int cellsPerSheet);

}  // namespace corvellan
