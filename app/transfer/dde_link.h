// The address link with a partner program, and its link fields.
//
// The partner is a program on the session bus that owns the name
// "org.corvellan.link." + its application name (see LinkBusName) and serves
// object /org/corvellan/Link, interface org.corvellan.Link1:
//   GetItem(s topic, s item) -> s value
//   SetItem(s topic, s item, s value)
// (docs/link-contract.md is the partner authors' description.) Every link
// field talks to one item of the partner through a LinkTransport; the
// program's windows never reach the bus themselves.
//
// A failed call is reported by the error numbers the user sees in the
// "DDE Link Failed (Error n)" message.
#pragma once

#include <QString>

#include <memory>

namespace corvellan {

class ZipMain;

inline constexpr int kLinkNoPartner = 282;     // no program owns the partner's name
inline constexpr int kLinkPartnerError = 285;  // the partner answered with an error
inline constexpr int kLinkTimedOut = 286;      // no answer within the time-out

inline constexpr char kLinkBusPrefix[] = "org.corvellan.link.";
inline constexpr char kLinkObjectPath[] = "/org/corvellan/Link";
inline constexpr char kLinkInterface[] = "org.corvellan.Link1";
// Longest item value taken from a partner; the rest is cut.
inline constexpr int kLinkValueLimit = 255;
// How long a call waits for the partner's answer by default, in milliseconds.
inline constexpr int kLinkDefaultTimeoutMs = 2000;

// The bus name of the partner called `application`: the prefix and the name
// lower-cased, with every character other than a-z, 0-9 and "_" replaced by
// "_" ("Contacts", "CONTACTS" and "contacts" name the same partner). A name
// that starts with a digit gets a "_" in front, as bus names require. Empty
// for an empty or blank application name.
QString LinkBusName(const QString& application);

// "DDE Link Failed (Error 282) - please check DDE Setup".
QString LinkFailedText(int error);

// Calls to the partner. Each returns 0 or one of the error numbers above.
class LinkTransport {
 public:
  virtual ~LinkTransport() = default;
  virtual int GetItem(const QString& application, const QString& topic, const QString& item, QString& value) = 0;
  virtual int SetItem(const QString& application, const QString& topic, const QString& item,
                      const QString& value) = 0;
};

// The transport the link fields use: the session bus, unless a test put
// another one in place (nullptr goes back to the session bus).
LinkTransport& ActiveLinkTransport();
void SetLinkTransport(std::unique_ptr<LinkTransport> transport);

// How long a call to the partner may take (default 2000 ms).
int LinkTimeoutMs();
void SetLinkTimeoutMs(int milliseconds);

// Link modes of a field: none, automatic (reading fetches the partner's
// value), manual (values are sent on request).
enum LinkMode : int { kLinkModeNone = 0, kLinkModeAutomatic = 1, kLinkModeManual = 2 };

// One link field: an item of the partner and the text exchanged with it.
class DdeLinkField {
 public:
  // "Application|Topic", as the settings window builds it.
  QString LinkTopic;
  QString LinkItem;
  bool Enabled = false;
  // Elements 1, 5 and 7: the value is merged into its partner field.
  bool Merge = false;
  QString Text;

  int linkMode() const { return mode_; }
  // Sets the link mode; switching to automatic reads the partner's current
  // value into Text. Returns 0 or an error number (the mode is then kept).
  int SetLinkMode(int mode);
  // Sends Text to the partner's item.
  int LinkPoke();
  // Reads the partner's item into `value`, leaving Text and the mode alone.
  int LinkRequest(QString& value) const;

 private:
  QString application() const;
  QString topic() const;
  int mode_ = kLinkModeNone;
};

// Loads the link settings into the settings window (made on demand, not
// shown) and applies them to the icon window's link fields.
void LoadDDE(ZipMain& form);

}  // namespace corvellan
