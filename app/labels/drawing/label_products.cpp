#include "labels/drawing/label_products.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>

namespace corvellan {

namespace {

constexpr char kDefaultFolder[] = "/usr/share/libglabels-3.0/templates";

struct Layout {
  int nx = 0, ny = 0;
  double x0 = 0, y0 = 0, dx = 0, dy = 0;
};

// A Template element as read, before equivalents are resolved.
struct RawTemplate {
  QString brand, part, equiv, description;
  QSizeF page;  // invalid when unknown
  bool ownSize = false;  // size="Other": a page of the label's own (a roll)
  QSizeF label;
  QList<Layout> layouts;
};

double Length(const QXmlStreamAttributes& attributes, const char* name, bool* ok) {
  const std::optional<double> value = ProductLength(attributes.value(QLatin1String(name)).toString());
  if (!value) *ok = false;
  return value.value_or(0);
}

QHash<QString, QSizeF> ReadPaperSizes(const QString& path) {
  QHash<QString, QSizeF> sizes;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return sizes;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("Paper-size")) {
      bool ok = true;
      const QXmlStreamAttributes a = xml.attributes();
      const QSizeF size(Length(a, "width", &ok), Length(a, "height", &ok));
      if (ok) sizes.insert(a.value(QLatin1String("id")).toString(), size);
    }
  }
  return sizes;
}

void ReadTemplates(const QString& path, const QHash<QString, QSizeF>& papers, QList<RawTemplate>& out) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  QXmlStreamReader xml(&file);
  RawTemplate* current = nullptr;
  bool inShape = false;
  bool shapeDone = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isEndElement()) {
      if (xml.name() == QLatin1String("Template")) current = nullptr;
      if (xml.name().startsWith(QLatin1String("Label-")) && inShape) {
        inShape = false;
        shapeDone = true;
      }
      continue;
    }
    if (!xml.isStartElement()) continue;
    const QXmlStreamAttributes a = xml.attributes();
    const QStringView name = xml.name();
    if (name == QLatin1String("Template")) {
      out.append(RawTemplate{});
      current = &out.back();
      inShape = shapeDone = false;
      current->brand = a.value(QLatin1String("brand")).toString();
      current->part = a.value(QLatin1String("part")).toString();
      current->equiv = a.value(QLatin1String("equiv")).toString();
      current->description = a.value(QLatin1String("_description")).toString();
      if (current->description.isEmpty()) current->description = a.value(QLatin1String("description")).toString();
      const QString size = a.value(QLatin1String("size")).toString();
      if (size == QLatin1String("Other")) {
        bool ok = true;
        const QSizeF page(Length(a, "width", &ok), Length(a, "height", &ok));
        if (ok) current->page = page;
        current->ownSize = ok;
      } else if (papers.contains(size)) {
        current->page = papers.value(size);
      }
    } else if (current != nullptr && !shapeDone && name.startsWith(QLatin1String("Label-"))) {
      // Only the first label shape of a product counts.
      inShape = true;
      bool ok = true;
      if (a.hasAttribute(QLatin1String("radius"))) {
        const double diameter = 2 * Length(a, "radius", &ok);
        current->label = QSizeF(diameter, diameter);
      } else {
        current->label = QSizeF(Length(a, "width", &ok), Length(a, "height", &ok));
      }
      if (!ok) current->label = QSizeF();
    } else if (current != nullptr && inShape && name == QLatin1String("Layout")) {
      bool ok = true;
      Layout layout;
      layout.nx = a.value(QLatin1String("nx")).toInt();
      layout.ny = a.value(QLatin1String("ny")).toInt();
      layout.x0 = Length(a, "x0", &ok);
      layout.y0 = Length(a, "y0", &ok);
      layout.dx = a.hasAttribute(QLatin1String("dx")) ? Length(a, "dx", &ok) : 0;
      layout.dy = a.hasAttribute(QLatin1String("dy")) ? Length(a, "dy", &ok) : 0;
      // A sheet of more than a few thousand labels is not a label sheet.
      if (ok && layout.nx > 0 && layout.ny > 0 && layout.nx * layout.ny <= 10000) current->layouts.append(layout);
    }
  }
}

QString Key(const QString& name) { return name.simplified().toLower(); }

struct CatalogCache {
  QMutex mutex;
  QString folder;
  bool read = false;
  LabelProductCatalog catalog;
  QHash<QString, qsizetype> byName;
};

CatalogCache& Cache() {
  static CatalogCache cache;
  return cache;
}

// The catalogue of LabelProductsFolder(), read when first asked for or when
// the folder changed. Called with the cache locked.
const CatalogCache& CachedCatalog() {
  CatalogCache& cache = Cache();
  const QString folder = LabelProductsFolder();
  if (!cache.read || cache.folder != folder) {
    cache.folder = folder;
    cache.read = true;
    cache.catalog = ReadLabelProducts(folder);
    cache.byName.clear();
    for (qsizetype i = 0; i < cache.catalog.products.size(); ++i) {
      cache.byName.insert(Key(cache.catalog.products[i].name), i);
    }
  }
  return cache;
}

}  // namespace

QString LabelProductsFolder() {
  const QString set = qEnvironmentVariable("CORVELLAN_LABEL_PRODUCTS");
  return set.isEmpty() ? QString::fromLatin1(kDefaultFolder) : set;
}

std::optional<double> ProductLength(const QString& text) {
  static const QRegularExpression length(QStringLiteral(R"(^\s*([0-9]*\.?[0-9]+)\s*(in|mm|cm|pt|pc)?\s*$)"));
  const QRegularExpressionMatch match = length.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const double value = match.captured(1).toDouble();
  const QString unit = match.captured(2);
  if (unit == QLatin1String("in")) return value;
  if (unit == QLatin1String("mm")) return value / 25.4;
  if (unit == QLatin1String("cm")) return value / 2.54;
  if (unit == QLatin1String("pc")) return value / 6;
  return value / 72;
}

LabelProductCatalog ReadLabelProducts(const QString& folder) {
  LabelProductCatalog catalog;
  const QDir dir(folder);
  const QStringList files = dir.entryList({QStringLiteral("*-templates.xml")}, QDir::Files, QDir::Name);
  if (!dir.exists() || files.isEmpty()) {
    catalog.error = QStringLiteral("No label products found in %1. Install the package glabels-data to print on "
                                   "sheets of labels.")
                        .arg(QDir::toNativeSeparators(folder));
    return catalog;
  }
  const QHash<QString, QSizeF> papers = ReadPaperSizes(dir.filePath(QStringLiteral("paper-sizes.xml")));
  QList<RawTemplate> raw;
  for (const QString& file : files) ReadTemplates(dir.filePath(file), papers, raw);

  QHash<QString, const RawTemplate*> own;
  for (const RawTemplate& t : raw) {
    if (t.equiv.isEmpty()) own.insert(Key(t.brand + QLatin1Char(' ') + t.part), &t);
  }
  QHash<QString, bool> seen;
  for (const RawTemplate& t : raw) {
    const QString name = t.brand + QLatin1Char(' ') + t.part;
    if (t.brand.isEmpty() || t.part.isEmpty() || seen.contains(Key(name))) continue;
    // An equivalent takes the geometry of the brand's product it names.
    const RawTemplate* geometry = t.equiv.isEmpty() ? &t : own.value(Key(t.brand + QLatin1Char(' ') + t.equiv));
    if (geometry == nullptr || !geometry->page.isValid() || !geometry->label.isValid() ||
        geometry->layouts.isEmpty()) {
      continue;
    }
    LabelProduct product;
    product.name = name;
    product.description = t.description.isEmpty() ? geometry->description : t.description;
    product.page = geometry->page;
    product.label = geometry->label;
    for (const Layout& layout : geometry->layouts) {
      for (int row = 0; row < layout.ny; ++row) {
        for (int column = 0; column < layout.nx; ++column) {
          product.cells.append(QPointF(layout.x0 + column * layout.dx, layout.y0 + row * layout.dy));
        }
      }
    }
    // One label on a page of its own, narrower than it is long: a roll
    // label as it leaves a label printer, narrow side first. The address
    // reads along the long side, so the page is turned.
    if (geometry->ownSize && product.cells.size() == 1 && product.label.height() > product.label.width()) {
      product.turned = true;
      product.page.transpose();
      product.label.transpose();
      const QPointF corner = product.cells.first();
      // Turned a quarter to the left: the top edge becomes the left one.
      product.cells.first() = QPointF(corner.y(), product.page.height() - corner.x() - product.label.height());
    }
    seen.insert(Key(name), true);
    catalog.products.append(product);
  }
  // Label-printer rolls sold in the United States under other part numbers
  // than the ones the database lists them by.
  static const char* const kUsNumbers[][2] = {
      {"Dymo 30252", "Dymo 99010"}, {"Dymo 30321", "Dymo 99012"}, {"Dymo 30323", "Dymo 99014"}};
  for (const auto& [us, listed] : kUsNumbers) {
    if (seen.contains(Key(QLatin1String(us)))) continue;
    for (qsizetype i = 0; i < catalog.products.size(); ++i) {
      if (Key(catalog.products[i].name) != Key(QLatin1String(listed))) continue;
      LabelProduct same = catalog.products[i];
      same.name = QLatin1String(us);
      seen.insert(Key(same.name), true);
      catalog.products.append(same);
      break;
    }
  }
  if (catalog.products.isEmpty()) {
    catalog.error = QStringLiteral("The label product files in %1 describe no label sheet.")
                        .arg(QDir::toNativeSeparators(folder));
  }
  return catalog;
}

std::optional<LabelProduct> FindLabelProduct(const QString& name, QString* error) {
  const QMutexLocker lock(&Cache().mutex);
  const CatalogCache& cache = CachedCatalog();
  if (!cache.catalog.error.isEmpty()) {
    if (error != nullptr) *error = cache.catalog.error;
    return std::nullopt;
  }
  const auto found = cache.byName.constFind(Key(name));
  if (found == cache.byName.cend()) {
    if (error != nullptr) *error = QStringLiteral("The label product \"%1\" is not in %2.").arg(name, cache.folder);
    return std::nullopt;
  }
  return cache.catalog.products[*found];
}

QStringList LabelProductNames(QString* error) {
  const QMutexLocker lock(&Cache().mutex);
  const CatalogCache& cache = CachedCatalog();
  if (error != nullptr) *error = cache.catalog.error;
  QStringList names;
  for (const LabelProduct& product : cache.catalog.products) names.append(product.name);
  return names;
}

QPageLayout PageLayoutOf(const LabelProduct& product) {
  const QSizeF portrait = product.turned ? product.page.transposed() : product.page;
  return QPageLayout(QPageSize(portrait, QPageSize::Inch), product.turned ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF());
}

SheetPlace PlaceOnSheet(int index, int startLabel, int cellsPerSheet) {
  if (cellsPerSheet <= 0) return {index, 0};
  const int start = std::clamp(startLabel, 1, cellsPerSheet) - 1;
  const long long position = static_cast<long long>(start) + index;
  return {static_cast<int>(position / cellsPerSheet), static_cast<int>(position % cellsPerSheet)};
}

}  // namespace corvellan
