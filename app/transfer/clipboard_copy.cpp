#include "transfer/clipboard_copy.h"

#include <QClipboard>
#include <QGuiApplication>

#include "core/query_prep.h"
#include "transfer/insert_target.h"

namespace corvellan {

namespace {

void CopyField(OutputSlots& output, const InsertSettings& settings, int field, const QString& value) {
  const long k = OrderNumber(settings.FieldOrder[static_cast<std::size_t>(field)]);
  // A settings file may hold any number; one without a position is left out.
  if (k < 0 || k >= kOutputSlots) return;
  if (settings.LineSqueeze && value.isEmpty()) return;
  output[static_cast<std::size_t>(k)] += value;
}

}  // namespace

QString BuildCopyText(const InsertSettings& settings, const QStringList& values) {
  OutputSlots output;
  for (int field = 0; field < kInsertFieldsUsed; ++field) {
    CopyField(output, settings, field, TrimBlanks(values.value(field)));
  }
  QString text;
  for (int k = 1; k <= kSentSlots; ++k) {
    const QString line = TrimBlanks(output[static_cast<std::size_t>(k)]);
    if (settings.LineSqueeze && line.isEmpty()) continue;
    text += line + QStringLiteral("\r\n");
  }
  return CleanText(text);
}

void mnuEditCopy_Click(ZipMain& form) {
  const QString text = BuildCopyText(CurrentInsertSettings(), AddressPanelValues(form));
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear(QClipboard::Clipboard);
  clipboard->setText(text, QClipboard::Clipboard);
}

}  // namespace corvellan
