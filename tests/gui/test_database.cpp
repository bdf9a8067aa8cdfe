#include "test_database.h"

#include <QTemporaryDir>
#include <QtGlobal>

#include <memory>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"

namespace corvellan::test {

namespace {

void Put(std::string* record, std::size_t offset, std::size_t length, const std::string& value) {
  for (std::size_t i = 0; i < length; ++i) (*record)[offset + i] = i < value.size() ? value[i] : ' ';
}

struct Detail {
  std::string zip;
  std::string type;
  std::string street;
  std::string suffix;
  std::string low;
  std::string high;
  std::string parity;
  std::string addonLow;
  std::string addonHigh;
  std::string firm = {};
  std::string unit = {};  // designator, low, high, parity
  std::string unitLow = {};
  std::string unitHigh = {};
  std::string unitParity = {};
};

std::string Zip4Record(const Detail& d, int number, const std::string& state, const std::string& cityKey) {
  std::string r(182, ' ');
  Put(&r, 0, 1, "D");
  Put(&r, 1, 5, d.zip);
  Put(&r, 6, 1, "A");
  Put(&r, 7, 9, QStringLiteral("%1").arg(number, 9, 10, QLatin1Char('0')).toStdString());
  Put(&r, 16, 1, "A");
  Put(&r, 17, 1, d.type);
  Put(&r, 18, 4, "C001");
  Put(&r, 24, 28, d.street);
  Put(&r, 52, 4, d.suffix);
  Put(&r, 58, 10, d.low);
  Put(&r, 68, 10, d.high);
  Put(&r, 78, 1, d.parity);
  Put(&r, 79, 40, d.firm);
  Put(&r, 119, 4, d.unit);
  Put(&r, 123, 8, d.unitLow);
  Put(&r, 131, 8, d.unitHigh);
  Put(&r, 139, 1, d.unitParity);
  Put(&r, 140, 4, d.addonLow);
  Put(&r, 144, 4, d.addonHigh);
  Put(&r, 148, 1, "B");
  Put(&r, 149, 1, "L");
  Put(&r, 150, 1, "N");
  Put(&r, 151, 6, "247405");
  Put(&r, 157, 2, state);
  Put(&r, 159, 3, "167");
  Put(&r, 162, 2, "13");
  Put(&r, 176, 6, cityKey);
  return r;
}

std::string CityStateRecord(const std::string& zip, const std::string& key, const std::string& name,
                            const std::string& state, const std::string& county) {
  std::string r(129, ' ');
  Put(&r, 0, 1, "D");
  Put(&r, 1, 5, zip);
  Put(&r, 6, 6, key);
  Put(&r, 12, 1, "P");
  Put(&r, 13, 28, name);
  Put(&r, 41, 13, name.substr(0, 6));
  Put(&r, 54, 1, "P");
  Put(&r, 55, 1, "Y");
  Put(&r, 56, 6, key);
  Put(&r, 62, 28, name);
  Put(&r, 90, 1, "Y");
  Put(&r, 91, 1, "A");
  Put(&r, 92, 1, "N");
  Put(&r, 93, 6, "247405");
  Put(&r, 99, 2, state);
  Put(&r, 101, 3, "167");
  Put(&r, 104, 25, county);
  return r;
}

QString Build(const QString& dir) {
  const std::vector<Detail> springfield = {
      {"12345", "S", "MAIN", "ST", "100", "198", "E", "1001", "1001"},
      {"12345", "F", "MAIN", "ST", "150", "150", "B", "1002", "1002", "ACME TOOL CO"},
      {"12345", "S", "MAIN", "ST", "101", "199", "O", "0001", "0099"},
      {"12345", "H", "MAIN", "ST", "200", "200", "B", "1003", "1003", "", "APT", "1", "9", "O"},
      {"12345", "F", "MAIN", "ST", "120", "120", "B", "1001", "1001", "BAKER BROTHERS"},
      {"12345", "S", "OAK", "AVE", "1", "99", "O", "1000", "1099"},
      {"12345", "P", "PO BOX", "", "100", "199", "B", "0100", "0199"},
      {"12345", "P", "PO BOX", "", "200", "200", "B", "0200", "0200"},
      {"12345", "S", "AVENUE J", "", "1", "99", "O", "2001", "2001"},
      {"12345", "G", "GENERAL DELIVERY", "", "", "", "", "9999", "9999"},
  };
  std::vector<std::string> details;
  int number = 0;
  for (const Detail& d : springfield) details.push_back(Zip4Record(d, ++number, "IL", "C00001"));
  details.push_back(Zip4Record({"12350", "S", "MAIN", "ST", "1", "99", "O", "0001", "0001"}, ++number, "IL", "C00002"));
  // Organizations: firms of two more ZIP codes, the lower one listed after
  // the higher one in the block order of the file.
  const std::vector<Detail> easton = {
      {"12360", "S", "ELM", "ST", "1", "99", "O", "0001", "0099"},
      {"12360", "F", "ELM", "ST", "10", "10", "B", "0010", "0010", "ZEPHYR LABS"},
      {"12360", "F", "ELM", "ST", "12", "12", "B", "0012", "0012", "ACORN BAKERY", "STE", "1", "1", "B"},
      {"12360", "F", "ELM", "ST", "12", "12", "B", "0012", "0012", "ACORN BAKERY", "STE", "2", "2", "B"},
      {"12360", "F", "ELM", "ST", "20", "20", "B", "0020", "0020", "MAPLE APTS"},
      {"12360", "F", "ELM", "ST", "21", "21", "B", "0021", "0021", "APT RENTALS"},
      {"12360", "F", "ELM", "ST", "22", "22", "B", "0022", "0022", "APTITUDE INC"},
      {"12360", "H", "ELM", "ST", "30", "30", "B", "0030", "0030", "ELM TOWER", "APT", "1", "20", "B"},
      {"12360", "F", "ELM", "ST", "40", "40", "B", "0040", "0040", "JOE'S \"BEST\" DELI", "STE", "5", "5", "B"},
      {"12360", "S", "CEDAR", "ST", "50", "50", "B", "0050", "0050"},
      {"12360", "F", "CEDAR", "ST", "50", "50", "B", "0050", "0050", "BRIGHT IDEAS CO"},
  };
  for (const Detail& d : easton) details.push_back(Zip4Record(d, ++number, "IL", "C00005"));
  details.push_back(Zip4Record({"12340", "F", "CEDAR", "ST", "5", "5", "B", "0005", "0005", "OMEGA SUPPLY"}, ++number,
                               "IL", "C00006"));
  details.push_back(Zip4Record({"12340", "F", "CEDAR", "ST", "6", "6", "B", "0006", "0006", "ALPHA WIDGETS"}, ++number,
                               "IL", "C00006"));
  std::vector<std::string> cityStates = {CityStateRecord("12345", "C00001", "SPRINGFIELD", "IL", "SANGAMON"),
                                         CityStateRecord("12350", "C00002", "SHELBYVILLE", "IL", "SHELBY"),
                                         CityStateRecord("20000", "C00003", "RIVERTON", "OH", "FRANKLIN"),
                                         CityStateRecord("30301", "C00004", "LAKEVIEW", "GA", "FULTON"),
                                         CityStateRecord("12360", "C00005", "EASTON", "IL", "MORGAN"),
                                         CityStateRecord("12340", "C00006", "WESTFIELD", "IL", "CLARK")};
  for (int zip = 20000; zip < 20000 + kBroadwayZipCodes; ++zip) {
    details.push_back(Zip4Record({std::to_string(zip), "S", "BROADWAY", "", "1", "99", "O", "0001", "0001"},
                                 ++number, "OH", "C00003"));
  }
  // A large result set in one state: every record type, single add-ons.
  cityStates.push_back(CityStateRecord(std::to_string(kLargeStateFirstZip), "C00040", "BELLWOOD", "KY", "HARDIN"));
  // Another name of 12345, acceptable for mail: only in the place names file.
  std::string leland = CityStateRecord("12345", "C00090", "LELAND GROVE", "IL", "SANGAMON");
  Put(&leland, 54, 1, "N");
  Put(&leland, 56, 6, "C00001");
  Put(&leland, 62, 28, "SPRINGFIELD");
  cityStates.push_back(leland);
  for (int zip = kLargeStateFirstZip; zip < kLargeStateFirstZip + kLargeStateZipCodes; ++zip) {
    for (int i = 0; i < kLargeStateRecordsPerZip; ++i) {
      const std::string addon = QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')).toStdString();
      const std::string low = std::to_string(i * 10 + 1);
      const std::string high = std::to_string(i * 10 + 9);
      Detail d{std::to_string(zip), "S", "LARCH", "ST", low, high, "O", addon, addon};
      switch (i % 8) {
        case 1:
          d = {d.zip, "H", "LARCH", "ST", low, low, "B", addon, addon, "", "APT", "1", "9", "O"};
          break;
        case 2:
          d = {d.zip, "F", "LARCH", "ST", low, low, "B", addon, addon, "LARCH WORKS " + std::to_string(i)};
          break;
        case 3:
          d = {d.zip, "P", "PO BOX", "", low, high, "B", addon, addon};
          break;
        case 4:
          d = {d.zip, "R", "RR 1", "", low, high, "B", addon, addon};
          break;
        case 5:
          d = {d.zip, "M", "LARCH", "ST", low, high, "E", addon, addon};
          break;
        case 6:
          d = {d.zip, "G", "GENERAL DELIVERY", "", "", "", "", addon, addon};
          break;
        default:
          break;
      }
      details.push_back(Zip4Record(d, ++number, "KY", "C00040"));
    }
  }
  // Overlapping add-on ranges: a line's search rank is not its lookup number.
  const std::vector<Detail> lakeview = {
      {"30301", "S", "ELM", "ST", "100", "198", "E", "8750", "8759"},
      {"30301", "S", "ELM", "ST", "101", "199", "O", "8752", "8760"},
      {"30301", "F", "ELM", "ST", "150", "150", "B", "8752", "8753", "LAKEVIEW CLINIC"},
  };
  for (const Detail& d : lakeview) details.push_back(Zip4Record(d, ++number, "GA", "C00004"));
  const std::string suffixes = "name,abbreviation\nSTREET,ST\nAVENUE,AVE\n";
  std::string error;
  if (!corvdb::builder::BuildDatabaseFromRecords(details, cityStates, suffixes,
                                                 (dir + QStringLiteral("/zip.cvd")).toStdString(), &error)) {
    qFatal("test database: %s", error.c_str());
  }
  return dir + QLatin1Char('/');
}

}  // namespace

QString TestDatabaseDir() {
  static QTemporaryDir dir;
  static const QString path = Build(dir.path());
  return path;
}

void InstallWithTestDatabase(TestEnvironment& env) {
  env.installDefault();
  env.writeIni("[Directories]\nData=" + TestDatabaseDir().toUtf8() + "\nProgram=" + env.programDir().toUtf8() + "\n");
}

}  // namespace corvellan::test
