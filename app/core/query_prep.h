// Text procedures of the program: preparing typed search values (house numbers,
// the street rewrites the search driver retries with) and shaping display text.
//
// Pure functions on the program's strings; every comparison is binary
// (case-sensitive). "Trim" removes leading and trailing blanks only (not tabs).
#pragma once

#include <QString>

namespace corvellan {

// The upper case of a character, or the character itself when its upper case
// has no single-byte (Latin-1) form: the engine's records hold single bytes,
// so ÿ and µ stay as they are rather than become Ÿ (U+0178) and Μ (U+039C),
// which would reach the engine as "?".
char32_t UpperSingleByte(char32_t c);

// The text without leading and trailing blanks (' ' only).
QString TrimBlanks(const QString& text);

// Trims, then removes every leading "0": "0012" -> "12", "000" -> "", "102" stays.
QString StripLeadingZeros(const QString& text);

// Street rewrites, tried one after another when a street finds nothing. Each
// returns the rewritten street, or an empty text when its rule does not apply.
QString ExpandFirstWord(const QString& street);       // AVE J -> AVENUE J
QString AbbreviateFirstWord(const QString& street);   // NORTH MAIN -> N MAIN
QString DropLeadingDirection(const QString& street);  // N MAIN ST -> MAIN ST
QString AbbreviateDirections(const QString& street);  // NORTH EAST RD -> NE RD
QString DropTrailingDirection(const QString& street); // MAIN ST N -> MAIN ST

// Replaces every occurrence of `find` in `text` by `replacement`, scanning on
// after each inserted replacement so that inserted text is never searched
// again (replacing A by AA cannot loop). An empty `find` changes nothing.
// Modifies `text` and returns it.
QString& ReplaceText(QString& text, const QString& find, const QString& replacement);

// Display case for upper-case names: MAIN ST NW -> Main St NW,
// PO BOX 12 -> PO Box 12, RR 2 BOX 5 -> RR 2 Box 5.
QString ProperCase(const QString& text);

// Joins `piece` to `line` with `separator` and a blank, without leaving the
// separator at either end: ("12345-6789", "Acme Co", "") -> "12345-6789 Acme Co".
QString AppendField(const QString& line, const QString& piece, const QString& separator);

}  // namespace corvellan
