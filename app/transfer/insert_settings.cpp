#include "transfer/insert_settings.h"

#include <QFileInfo>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "transfer/config_window.h"

namespace corvellan {

namespace {

struct FieldInfo {
  const char* name;
  const char* source;
  CaseClass caseClass;
};

constexpr std::array<FieldInfo, kInsertFieldsUsed> kFields{{
    {"Recipient", "Recipient", CaseClass::UserChoice},
    {"Secondary", "Secondary", CaseClass::UserChoice},
    {"SecondaryLow", "SecLow", CaseClass::AlwaysUpper},
    {"SecondaryHigh", "SecHigh", CaseClass::AlwaysUpper},
    {"SecondaryOE", "SecOE", CaseClass::AlwaysUpper},
    {"Primary", "Primary", CaseClass::UserChoice},
    {"PrimaryLow", "PriLow", CaseClass::AlwaysUpper},
    {"PrimaryHigh", "PriHigh", CaseClass::AlwaysUpper},
    {"PrimaryOE", "PriOE", CaseClass::AlwaysUpper},
    {"Urbanization", "Urbanization", CaseClass::UserChoice},
    {"City", "City", CaseClass::UserChoice},
    {"State", "State", CaseClass::AlwaysUpper},
    {"ZipCode", "Zip", CaseClass::NotApplicable},
    {"Plus4", "Plus4", CaseClass::NotApplicable},
    {"CorvdbonLow", "ZipLow", CaseClass::NotApplicable},
    {"CorvdbonHigh", "ZipHigh", CaseClass::NotApplicable},
    {"RecordType", "RecType", CaseClass::AlwaysUpper},
    {"RecordDescr", "RecDescr", CaseClass::UserChoice},
}};

constexpr char kGeneral[] = "General Settings";

int ForcedCase(int field, int option) {
  switch (CaseClassOf(field)) {
    case CaseClass::AlwaysUpper:
      return kCaseUpper;
    case CaseClass::NotApplicable:
      return kCaseNotApplicable;
    case CaseClass::UserChoice:
      break;
  }
  return option == kCaseUpper ? kCaseUpper : kCaseNo;
}

QString CaseText(int option) {
  switch (option) {
    case kCaseUpper:
      return QStringLiteral("Yes");
    case kCaseNotApplicable:
      return QStringLiteral("N/A");
    default:
      return QStringLiteral("No");
  }
}

}  // namespace

CaseClass CaseClassOf(int field) {
  if (field < 0 || field >= kInsertFieldsUsed) return CaseClass::UserChoice;
  return kFields[static_cast<std::size_t>(field)].caseClass;
}

QString InsertFieldName(int field) {
  if (field < 0 || field >= kInsertFieldsUsed) return {};
  return QLatin1String(kFields[static_cast<std::size_t>(field)].name);
}

QString InsertFieldSource(int field) {
  if (field < 0 || field >= kInsertFieldsUsed) return {};
  return QLatin1String(kFields[static_cast<std::size_t>(field)].source);
}

InsertSettings& CurrentInsertSettings() {
  static InsertSettings settings;
  return settings;
}

long OrderNumber(const QString& text) { return IniNumber(text); }

void ReadCfgFile(const QString& path, InsertSettings& settings) {
  for (int i = 0; i < kInsertFieldsUsed; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const QString section = InsertFieldName(i);
    settings.FieldOrder[at] = GetIni(path, section, QStringLiteral("Field Order"));
    settings.BeforeKeys[at] = GetIni(path, section, QStringLiteral("Before Field"));
    settings.AfterKeys[at] = GetIni(path, section, QStringLiteral("After Field"));
    // Only the exact words count: "yes" in lower case reads as No.
    const QString upper = GetIni(path, section, QStringLiteral("Upper Case"));
    const int option = upper == QLatin1String("Yes")   ? kCaseUpper
                       : upper == QLatin1String("N/A") ? kCaseNotApplicable
                                                       : kCaseNo;
    settings.CaseOption[at] = ForcedCase(i, option);
  }
  const QString general = QLatin1String(kGeneral);
  settings.Description = GetIni(path, general, QStringLiteral("Description"));
  settings.LineSqueeze = GetIni(path, general, QStringLiteral("Line Squeeze")) == QLatin1String("Yes");
}

bool WriteCfgFile(const QString& path, InsertSettings& settings) {
  bool ok = true;
  for (int i = 0; i < kInsertFieldsUsed; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (OrderNumber(settings.FieldOrder[at]) < 1) settings.FieldOrder[at] = QStringLiteral("0");
    const QString section = InsertFieldName(i);
    ok = WriteIni(section, QStringLiteral("Field Order"), settings.FieldOrder[at], path) && ok;
    ok = WriteIni(section, QStringLiteral("Before Field"), settings.BeforeKeys[at], path) && ok;
    ok = WriteIni(section, QStringLiteral("After Field"), settings.AfterKeys[at], path) && ok;
    ok = WriteIni(section, QStringLiteral("Upper Case"), CaseText(settings.CaseOption[at]), path) && ok;
  }
  const QString general = QLatin1String(kGeneral);
  ok = WriteIni(general, QStringLiteral("Description"), settings.Description, path) && ok;
  ok = WriteIni(general, QStringLiteral("Line Squeeze"),
                settings.LineSqueeze ? QStringLiteral("Yes") : QStringLiteral("No"), path) &&
       ok;
  return ok;
}

void LoadCfg(ZipMain& form) {
  const QString& path = App().CfgFile;
  if (!QFileInfo(path).isFile()) {
    // From the settings window, which stays on top: the box goes above it.
    Config* window = Config::existing();
    MessageBox::critical(window != nullptr && window->isVisible() ? window : form.dialogParent(),
                         QStringLiteral("Unable to Retrieve CFG File"));
    return;
  }
  ReadCfgFile(path, CurrentInsertSettings());
  if (Config* window = Config::existing()) window->ShowLoaded();
}

bool InsertFieldUpperCase(int index) {
  if (index < 0 || index >= kInsertFieldCount) return false;
  return CurrentInsertSettings().CaseOption[static_cast<std::size_t>(index)] == kCaseUpper;
}

}  // namespace corvellan
