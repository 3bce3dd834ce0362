#pragma once

// The locale's upper-casing as the search uses it, and the byte form in
// which upper-cased texts are compared.

#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// How the upper-cased search bytes of a UTF-8 text follow from its own bytes.
enum class TextForm : std::uint8_t {
    // ASCII only: a to z become A to Z, the rest stays.
    Ascii,
    // ASCII as above, and characters of two bytes whose upper cases take two
    // bytes (never ASCII) too: the upper-cased bytes line up with the text's.
    Latin,
    // Anything else: the upper-cased bytes have to be made.
    Other,
};

class TCaseFolder
{
public:
    explicit TCaseFolder(const QLocale &locale = QLocale());

    const QLocale &locale() const { return locale_; }
    // Always the same text as QLocale::toUpper; texts of Latin letters take
    // a shortcut through a table made from the locale itself.
    QString upper(const QString &text) const;
    // Appends upper(text) in the byte form of appendSearchBytes.
    void appendUpper(const QString &text, std::string &out) const;
    // The same for a text given as exact UTF-8.
    void appendUpperUtf8(QByteArrayView utf8, std::string &out) const;
    // The form of an exact UTF-8 text; always Other where the locale folds
    // ASCII in its own way, so that only a search of the upper-cased bytes
    // sees such texts.
    TextForm formOf(const char *utf8, std::size_t size) const;
    // The upper case of a character of a Latin text.
    char16_t upperLatin(char16_t c) const { return c < kTableEnd ? table_[c] : kNotAlone; }

private:
    static constexpr char16_t kTableEnd = 0x250;
    static constexpr char16_t kNotAlone = 0xFFFF;

    QLocale locale_;
    // The locale's upper case of each character below kTableEnd that it maps
    // on its own to one character below kTableEnd; kNotAlone for the others
    // ("ß" becomes two letters, for instance). Below kTableEnd no locale
    // looks at a character's neighbours, so a text made only of table
    // characters upper-cases character by character.
    std::array<char16_t, kTableEnd> table_{};
    // True when the table maps a to z onto A to Z and leaves the rest of
    // ASCII alone, as every locale but a few does.
    bool plainAscii_ = false;
};

// Appends the text with each UTF-16 unit written the way UTF-8 writes a
// character below U+10000 (one to three bytes; a surrogate gets its own
// three bytes). Every unit's bytes start with a byte that no other byte of
// the form can be mistaken for, so one text occurs in another exactly when
// its bytes occur in the other's bytes, whatever the texts hold. The byte
// 0xFF never occurs.
void appendSearchBytes(QStringView text, std::string &out);
