// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// The per-user settings: string values addressed by application, section and key, kept in
// an INI file per application in the user's configuration folder
// ($XDG_CONFIG_HOME/<application>.ini, ~/.config when unset). Nothing is cached: every read
// goes to the file and every write replaces it at once.
//
// The file is parsed here rather than by QSettings, because a hand-edited value must read back
// as the text that was written, and QSettings turns unquoted commas into lists and text
// starting with '@' into typed values. The file is UTF-8 (invalid bytes read as U+FFFD) and
// holds `[Section]` headers and `key=value` lines; lines starting with ';' or '#' are
// comments. Section and key names match exactly, case included, once the blanks around them
// are removed; a section may appear more than once and the last definition of a key wins.
// A value is the text after the first '=', without the blanks (spaces, tabs, a trailing CR)
// around it; when that text is wholly enclosed in one pair of double quotes, the quotes go and
// \" and \\ inside them stand for " and \. Everything else (commas, '@', ';', backslashes,
// non-ASCII) reads as it stands. A file larger than 4 MiB, one that is not a regular file, and
// one that is not UTF-8 text (a UTF-16 or UTF-32 byte order mark, a NUL byte anywhere) count
// as unreadable.
namespace settings {

// Where the program keeps its three values: the application and the section.
inline const QString Application = QStringLiteral("Copperline");
inline const QString Section = QStringLiteral("Settings");

// The user's configuration folder: $XDG_CONFIG_HOME, or ~/.config when the variable is unset,
// empty or relative (the base-directory rules ignore a relative one).
QString configHome();

// The file that holds `application`'s settings, in configHome().
QString settingsPath(const QString &application);

// Replaces the file at `path` with `text` in one step, creating its folder as needed: readers
// see the old file or the new one, never a mix; a link is written through and the old file's
// permissions are kept. False, with the file as it was, when any step fails: every write and
// the sync to disk are checked, so a full disk leaves the old file and no temporary one.
bool writeFileAtomically(const QString &path, const QByteArray &text);

// The stored text of `key`, or `defaultValue` when the file, the section or the key does not
// exist or the file cannot be read. A key stored with an empty value reads as "".
QString GetSetting(
    const QString &application, const QString &section, const QString &key, const QString &defaultValue);

// Stores `value` under `key`, creating the folder, file and section as needed and keeping
// every other line of the file byte for byte; a new line ends as the file's first line does
// (CRLF or LF). A value with blanks at either end or a '"' is written quoted, so it reads back
// as given. The file is replaced atomically, a link to it is written through, and its
// permissions are kept. False, with the file as it was, when the
// value holds a line break or a NUL, the section or key cannot be stored (empty key, '=', '[', ']',
// line breaks, NULs, blanks at either end, a key starting with ';' or '#'), the existing file cannot
// be read, or the write fails.
bool SaveSetting(
    const QString &application, const QString &section, const QString &key, const QString &value);

// Text to a 32-bit signed integer: a decimal number with optional sign and surrounding
// blanks (spaces, tabs); a fraction ("2.5", ".5", "5.") rounds to the nearest integer, halves
// to even, decided on the digits rather than through a double. Empty on empty or
// non-numeric text, trailing text, and outside the 32-bit range after rounding.
std::optional<std::int32_t> toLong(QStringView text);
// The same for a 16-bit signed integer (-32768 to 32767).
std::optional<std::int16_t> toShort(QStringView text);
// The value of the number at the start of the text, as BASIC's Val reads it: blanks (spaces,
// tabs, line feeds) are skipped before and inside the number, which is an optional sign,
// digits, an optional fraction and an optional exponent (E or D, optional sign, digits).
// Reading stops at the first character that cannot continue the number, and text that does
// not begin with a number gives 0. Never fails: a huge exponent gives infinity or 0.
double leadingNumber(QStringView text);

} // namespace settings
