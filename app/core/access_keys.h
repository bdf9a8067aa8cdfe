// Access keys (Alt with the underlined letter of a caption) and the other
// one-press keys of a window.
//
// A caption marks its access key with "&" before the letter ("S&ave": Alt+A);
// "&&" is a literal ampersand. A label's key moves the focus to its buddy, a
// button's key presses it, a group box's key focuses its first control and a
// menu bar's key opens that menu. Qt gives a key that two visible controls
// share to neither: the first press only moves the focus to one of them. So
// the program keeps every key unique among the controls on screen together.
//
// Controls reached by a key that is no caption letter (Esc for Cancel, Alt+1
// for the first tab) name it in the dynamic property kKeyRouteProperty, so
// that the help's keyboard table and the tests find it.
#pragma once

#include <QChar>
#include <QList>
#include <QPointer>
#include <QString>

class QWidget;

namespace corvellan {

// The text of the one-press key of a control that has no access key, or has
// one more, as the help writes it ("Esc", "Alt+1").
inline constexpr char kKeyRouteProperty[] = "KeyRoute";
// The caption as designed, kept by ShareAccessKeys while a label of the
// window shows it without its underline.
inline constexpr char kDesignCaptionProperty[] = "DesignCaption";

// The access-key letter of a caption, upper case; a null QChar when it has
// none ("&&" is no key).
QChar AccessKeyLetter(const QString& caption);
// The caption as shown: the "&" markers removed, "&&" read as "&".
QString PlainCaption(const QString& caption);

struct AccessKey {
  QChar letter;
  // The label, button, group box or menu bar that carries the key.
  QPointer<QWidget> owner;
  // Where the key goes: the buddy of a label, else the owner itself (a menu
  // bar's key goes to its menu, named by caption).
  QPointer<QWidget> target;
  // The caption of the owner (for a menu: the menu's title), without markers.
  QString caption;
};

// The access keys of `window` that work now: those of its visible, enabled
// labels with a buddy, buttons, group boxes and menu-bar menus.
QList<AccessKey> VisibleAccessKeys(QWidget* window);

// For a window whose controls live partly in a page of tabs: every access
// key of a control outside `page` that a visible control inside `page` also
// carries is taken off its label while the page is shown (the caption stays,
// the underline goes), and given back when another page is shown. The
// control on the page shown wins its letter.
void ShareAccessKeys(QWidget* window, QWidget* page);

}  // namespace corvellan
