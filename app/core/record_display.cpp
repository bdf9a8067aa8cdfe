#include "core/record_display.h"

#include <QLineEdit>
#include <QListWidget>

#include <array>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/query_prep.h"
#include "core/result_lines.h"
#include "core/zip_main.h"
#include "labels/label_composition.h"
#include "transfer/icon_window.h"
#include "transfer/insert_settings.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

// Insert field indexes of the address boxes (CaseField).
enum InsertField : int {
  kInsertRecipient = 0,
  kInsertSecondary = 1,
  kInsertPrimary = 5,
  kInsertUrbanization = 9,
  kInsertCity = 10,
  kInsertRecordDescr = 17,
};

enum class Shown { AsStored, Trimmed, Proper };

struct RawBox {
  QLineEdit* Ui::ZipMain::*box;
  FieldSpec field;
  Shown shown;
};

// The "Zip + 4" tab: one box per field of the USPS ZIP+4 detail record.
constexpr std::array<RawBox, 30> kZip4Boxes{{
    {&Ui::ZipMain::CopyRight, {0, 1}, Shown::AsStored},
    {&Ui::ZipMain::Zip4Zip, {1, 5}, Shown::AsStored},
    {&Ui::ZipMain::UpdateKeyNo, {6, 10}, Shown::AsStored},
    {&Ui::ZipMain::ActionCode, {16, 1}, Shown::AsStored},
    {&Ui::ZipMain::RecTypeCode, {17, 1}, Shown::AsStored},
    {&Ui::ZipMain::CarrierRteID, {18, 4}, Shown::AsStored},
    {&Ui::ZipMain::StrPreDirAbbrev, {22, 2}, Shown::Trimmed},
    {&Ui::ZipMain::StreetName, {24, 28}, Shown::Proper},
    {&Ui::ZipMain::StreetSuffAbbrev, {52, 4}, Shown::Proper},
    {&Ui::ZipMain::StrPostDirAbbrev, {56, 2}, Shown::Proper},
    {&Ui::ZipMain::AddrPrimarylowNum, {58, 10}, Shown::Trimmed},
    {&Ui::ZipMain::AddrPrimaryHighNum, {68, 10}, Shown::Trimmed},
    {&Ui::ZipMain::PrimaryOddEvenCode, {78, 1}, Shown::Trimmed},
    {&Ui::ZipMain::BiuldingOrFirmName, {79, 40}, Shown::Proper},
    {&Ui::ZipMain::AddrSecAbbrev, {119, 4}, Shown::Proper},
    {&Ui::ZipMain::AddrSecondaryLowNum, {123, 8}, Shown::Trimmed},
    {&Ui::ZipMain::AddrSecondaryHighNum, {131, 8}, Shown::Trimmed},
    {&Ui::ZipMain::SecOECode, {139, 1}, Shown::Trimmed},
    {&Ui::ZipMain::CorvdbOnLowNum, {140, 4}, Shown::Trimmed},
    {&Ui::ZipMain::CorvdbOnHighNum, {144, 4}, Shown::Trimmed},
    {&Ui::ZipMain::BaseALtCode, {148, 1}, Shown::Trimmed},
    {&Ui::ZipMain::LACSStatusIDInd, {149, 1}, Shown::Trimmed},
    {&Ui::ZipMain::GOVBuildInd, {150, 1}, Shown::Trimmed},
    {&Ui::ZipMain::FinanceNum, {151, 6}, Shown::Trimmed},
    {&Ui::ZipMain::StateAbbrev, {157, 2}, Shown::Trimmed},
    {&Ui::ZipMain::CountyNumber, {159, 3}, Shown::Trimmed},
    {&Ui::ZipMain::CongressDistNum, {162, 2}, Shown::Trimmed},
    {&Ui::ZipMain::MStateKey, {164, 6}, Shown::Trimmed},
    {&Ui::ZipMain::UrbStateKey, {170, 6}, Shown::Trimmed},
    {&Ui::ZipMain::PrefStateKey, {176, 6}, Shown::Trimmed},
}};

// The "City State" tab: one box per field of the USPS City-State record.
constexpr std::array<RawBox, 17> kCityStateBoxes{{
    {&Ui::ZipMain::csCopyrightDetailCode, {0, 1}, Shown::Trimmed},
    {&Ui::ZipMain::csZipCode, {1, 5}, Shown::Trimmed},
    {&Ui::ZipMain::csCityStateKey, {6, 6}, Shown::Trimmed},
    {&Ui::ZipMain::csZipClassificationCode, {12, 1}, Shown::Trimmed},
    {&Ui::ZipMain::csCityStateName, {13, 28}, Shown::Proper},
    {&Ui::ZipMain::csCityStateNameAbbrev, {41, 13}, Shown::Trimmed},
    {&Ui::ZipMain::csCityStateNameFacilityCode, {54, 1}, Shown::Trimmed},
    {&Ui::ZipMain::csCityStateMailingNameInd, {55, 1}, Shown::Trimmed},
    {&Ui::ZipMain::csPrefdLastLineCityStateKey, {56, 6}, Shown::Trimmed},
    {&Ui::ZipMain::csPrefdLastLineCityStateName, {62, 28}, Shown::Proper},
    {&Ui::ZipMain::csCityDelvInd, {90, 1}, Shown::Trimmed},
    {&Ui::ZipMain::csCarrRteRateSortationInd, {91, 1}, Shown::Trimmed},
    {&Ui::ZipMain::csUniqueZipNameInd, {92, 1}, Shown::Trimmed},
    {&Ui::ZipMain::csFinanceNo, {93, 6}, Shown::Trimmed},
    {&Ui::ZipMain::csStateAbbrev, {99, 2}, Shown::Trimmed},
    {&Ui::ZipMain::csCountyNo, {101, 3}, Shown::Trimmed},
    {&Ui::ZipMain::csCountyName, {104, 25}, Shown::Proper},
}};

template <std::size_t Size, std::size_t Boxes>
void FillBoxes(Ui::ZipMain& ui, const FixedRecord<Size>& record, const std::array<RawBox, Boxes>& boxes) {
  for (const RawBox& entry : boxes) {
    const QString stored = record.Get(entry.field);
    QString text;
    switch (entry.shown) {
      case Shown::AsStored:
        text = stored;
        break;
      case Shown::Trimmed:
        text = TrimBlanks(stored);
        break;
      case Shown::Proper:
        text = ProperCase(stored);
        break;
    }
    (ui.*entry.box)->setText(text);
    // Show the start of a value longer than its box (setText leaves the view at the end).
    (ui.*entry.box)->setCursorPosition(0);
  }
}

bool AllDigits(const QString& text) {
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  }
  return true;
}

// Whether `value` lies in the add-on range low..high by numeric value.
bool InAddonRange(const QString& low, const QString& value, const QString& high) {
  const double number = LeadingNumber(value);
  return LeadingNumber(low) <= number && number <= LeadingNumber(high);
}

}  // namespace

QString RecordTypeDescription(const QString& code) {
  static const std::array<std::pair<const char*, const char*>, 7> kDescriptions{{
      {"G", "General Delivery"},
      {"H", "Highrise"},
      {"F", "Firm"},
      {"S", "Street"},
      {"P", "PO Box"},
      {"R", "Rural Route/Highway Contract"},
      {"M", "Multi-Carrier Route"},
  }};
  const QString trimmed = TrimBlanks(code);
  for (const auto& [type, description] : kDescriptions) {
    if (trimmed == QLatin1String(type)) return QLatin1String(description);
  }
  return {};
}

QString BuildPrimaryLine(const QString& street, const QString& low, const QString& high, const QString& recordType,
                         const QString& numberFilter) {
  const QString name = TrimBlanks(street);
  if (name.isEmpty()) return {};
  QString number = low == high ? TrimBlanks(low) : QString();
  if (number.isEmpty()) number = TrimBlanks(numberFilter);
  QString line = name;
  if (!number.isEmpty()) {
    line = TrimBlanks(recordType) == QLatin1String("P") ? name + QLatin1Char(' ') + number
                                                         : number + QLatin1Char(' ') + name;
  }
  return ProperCase(line);
}

QString CaseField(const QString& value, int index) {
  const QString trimmed = TrimBlanks(value);
  return InsertFieldUpperCase(index) ? trimmed.toUpper() : trimmed;
}

QString DerivePlus4(const QString& addonLow, const QString& addonHigh, const QString& recordType,
                    const QString& numberFilter, const QString& typedZip) {
  const QString low = TrimBlanks(addonLow);
  const QString high = TrimBlanks(addonHigh);
  if (low == high && !low.isEmpty()) return low;
  // A box number or typed add-on that is not plain digits would put letters
  // into the add-on (and the barcode): only digits are taken.
  if (TrimBlanks(recordType) == QLatin1String("P")) {
    const QString box = TrimBlanks(numberFilter);
    if (AllDigits(box) && InAddonRange(low, box, high)) return (QStringLiteral("0000") + box).right(4);
  }
  const QString typed = TrimBlanks(typedZip);
  if (typed.size() == 10) {
    const QString addon = typed.right(4);
    if (AllDigits(addon) && InAddonRange(low, addon, high)) return addon;
  }
  return {};
}

bool IsNonDeliveryRecord(const AddressRecord& record) {
  return record.Get(addr::kZipPlus4).contains(QLatin1String("ND"));
}

QString FindAddressErrorText(std::int32_t code) {
  switch (code) {
    case -1:
      return QStringLiteral("Zip Code not found");
    case -2:
      return QStringLiteral("Missing Profile entry");
    case -3:
      return QStringLiteral("Error opening Data Files");
    default:
      return QStringLiteral("Error No") + SignedText(code < 0 ? -std::int64_t{code} : std::int64_t{code});
  }
}

namespace display {

void FoundList_Click(ZipMain& window) {
  AppGlobals& app = App();
  app.CancelFlag = true;
  app.CurrentRecord = 1;
  const QListWidgetItem* item = window.form().FoundList->currentItem();
  if (item == nullptr) return;
  const QString key = LineKey(item->text());
  if (TrimBlanks(key).isEmpty()) return;
  std::int32_t n = item->data(Qt::UserRole).toInt();
  FindAddress(window, key, n, StoredLineIdentity(*item));
}

void FoundList_DblClick(ZipMain& window) {
  if (window.form().mnuViewIcon->isChecked()) {
    IconSendAddress(window);
  } else {
    window.mnuEditInsert_Click();
  }
}

void FindAddress(ZipMain& window, const QString& key, std::int32_t& n, const std::optional<LineIdentity>& identity) {
  AppGlobals& app = App();
  app.Address.Clear();
  if (n == 0) n = app.CurrentRecord;
  if (n < 1) n = 1;
  const std::int32_t count = FetchLineRecord(app.Address, key, n, identity);
  app.CurrentRecord = n;
  app.LastCount = count;
  if (count > 0) {
    window.SetStatus(QStringLiteral("Zip+4 has") + SignedText(count) + QStringLiteral(" Record(s)"));
    ShowData(window);
    return;
  }
  const QString message = FindAddressErrorText(count);
  MessageBox::critical(window.dialogParent(), message, QStringLiteral("Error"));
  window.SetStatus(message);
}

void ShowData(ZipMain& window) {
  Ui::ZipMain& ui = window.form();
  AppGlobals& app = App();
  AddressRecord& record = app.Address;

  // The record in display form: trimmed fields, names in display case.
  for (const FieldSpec field : {addr::kRecordType, addr::kSecLow, addr::kSecHigh, addr::kSecOddEven, addr::kPriLow,
                                addr::kPriHigh, addr::kPriOddEven, addr::kState, addr::kZipPlus4, addr::kAddonLow,
                                addr::kAddonHigh}) {
    record.Set(field, TrimBlanks(record.Get(field)));
  }
  for (const FieldSpec field : {addr::kFirm, addr::kSecAbbrev, addr::kStreet, addr::kUrbanization, addr::kCity}) {
    record.Set(field, ProperCase(record.Get(field)));
  }
  const auto value = [&record](FieldSpec field) { return TrimBlanks(record.Get(field)); };

  ui.Recipient->setText(CaseField(ProperCase(value(addr::kFirm)), kInsertRecipient));

  QString secondary;
  const QString abbreviation = value(addr::kSecAbbrev);
  if (!abbreviation.isEmpty()) {
    if (value(addr::kSecLow) == value(addr::kSecHigh)) {
      secondary = ProperCase(abbreviation) + QLatin1Char(' ') + value(addr::kSecHigh);
    } else {
      secondary = TrimBlanks(ProperCase(abbreviation) + QLatin1Char(' ') + UnitFilterValue(app.UnitFilter));
    }
  }
  ui.Secondary->setText(CaseField(secondary, kInsertSecondary));

  const QString street = value(addr::kStreet);
  ui.Primary->setText(street.isEmpty() ? QString()
                                       : CaseField(BuildPrimaryLine(street, value(addr::kPriLow), value(addr::kPriHigh),
                                                                    value(addr::kRecordType), app.NumberFilter),
                                                   kInsertPrimary));
  ui.Urbanization->setText(CaseField(ProperCase(value(addr::kUrbanization)), kInsertUrbanization));
  ui.City->setText(CaseField(ProperCase(value(addr::kCity)), kInsertCity));
  ui.State->setText(value(addr::kState));

  ui.SecLow->setText(value(addr::kSecLow));
  ui.SecHigh->setText(value(addr::kSecHigh));
  ui.SecOE->setText(value(addr::kSecOddEven));
  ui.PriLow->setText(value(addr::kPriLow));
  ui.PriHigh->setText(value(addr::kPriHigh));
  ui.PriOE->setText(value(addr::kPriOddEven));
  ui.ZipLow->setText(value(addr::kAddonLow));
  ui.ZipHigh->setText(value(addr::kAddonHigh));
  ui.Plus4->setText(DerivePlus4(value(addr::kAddonLow), value(addr::kAddonHigh), value(addr::kRecordType),
                                app.NumberFilter, ui.SearchZip->text()));
  ui.Zip->setText(record.Get(addr::kZipPlus4).left(5));
  ui.OrgZip->setText(ui.Zip->text());
  ui.RecType->setText(value(addr::kRecordType));

  ShowZip4Rec(window);
  ShowCityStateRecord(window);
  SetLabelData(window);
  // The count message of FindAddress ("Zip+4 has 3 Record(s)") stays in the
  // status bar.
}

void ShowZip4Rec(ZipMain& window) {
  Ui::ZipMain& ui = window.form();
  AppGlobals& app = App();
  Engine::GetZip4Rec(app.Zip4Raw.data(), app.CityStateRaw.data(), app.UrbanizationRaw.data());
  FillBoxes(ui, app.Zip4Raw, kZip4Boxes);
  ui.RecTypeDesc->setText(RecordTypeDescription(app.Zip4Raw.Get({17, 1})));
  ui.RecDescr->setText(CaseField(ui.RecTypeDesc->text(), kInsertRecordDescr));
}

void ShowCityStateRecord(ZipMain& window) { FillBoxes(window.form(), App().CityStateRaw, kCityStateBoxes); }

}  // namespace display

}  // namespace corvellan
