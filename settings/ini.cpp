#include "settings/ini.h"

#include "protocol/chinesetext.h"
#include "settings/atomicwrite.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace settings {

namespace {

// At most this many characters of a value are seen.
constexpr qsizetype ValueLimit = 253;
// Config.ini holds a few hundred bytes; a larger file is read this far, and never rewritten
// unless it was read whole.
constexpr qint64 ReadLimit = 32 * 1024 * 1024;

constexpr QByteArrayView Utf8Bom("\xEF\xBB\xBF");

// The text of the file: UTF-8 when the file says so (a byte-order mark, or valid UTF-8 with
// non-ASCII text), else the local 8-bit code page of this Chinese program, GBK.
enum class Encoding { Local, Utf8 };

bool HasNonAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

// Valid UTF-8, stopping at the first fault. A character cut off by the end of a truncated file
// does not count against it.
bool IsUtf8(QByteArrayView bytes)
{
    constexpr qsizetype Chunk = 64 * 1024;
    QStringDecoder decoder(QStringConverter::Utf8);
    for (qsizetype at = 0; at < bytes.size(); at += Chunk) {
        const QString text = decoder.decode(bytes.sliced(at, qMin(Chunk, bytes.size() - at)));
        if (decoder.hasError())
            return false;
    }
    return true;
}

Encoding Detect(QByteArrayView file)
{
    if (file.startsWith(Utf8Bom))
        return Encoding::Utf8;
    return HasNonAscii(file) && IsUtf8(file) ? Encoding::Utf8 : Encoding::Local;
}

// GBK as Windows writes it; a character GBK lacks goes out in GB18030, its superset, so it
// comes back on reading instead of turning into "?".
QString Decode(QByteArrayView bytes, Encoding encoding)
{
    if (encoding == Encoding::Utf8 || !HasNonAscii(bytes))
        return QString::fromUtf8(bytes);
    bool ok = false;
    QString text = protocol::DecodeChinese(bytes, protocol::ChineseEncoding::Gb18030, &ok);
    return ok ? text : protocol::DecodeChinese(bytes, protocol::ChineseEncoding::Gbk);
}

QByteArray Encode(const QString &text, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return text.toUtf8();
    bool ok = false;
    const QByteArray bytes = protocol::EncodeChinese(text, protocol::ChineseEncoding::Gbk, &ok);
    if (ok)
        return bytes;
    // A system without a GB18030 converter keeps GBK's "?" rather than nothing.
    const QByteArray wide = protocol::EncodeChinese(text, protocol::ChineseEncoding::Gb18030, &ok);
    return ok ? wide : bytes;
}

bool IsAsciiSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

QStringView TrimAscii(QStringView text)
{
    while (!text.isEmpty() && IsAsciiSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && IsAsciiSpace(text.back()))
        text.chop(1);
    return text;
}

// Bytes of the character starting at bytes[at]. Only in GBK do ASCII bytes occur inside a
// character (as its second byte, or the second and fourth of GB18030's four-byte form).
qsizetype CharLength(QByteArrayView bytes, qsizetype at, Encoding encoding)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    if (encoding == Encoding::Utf8 || byte(at) < 0x81 || byte(at) == 0xFF || at + 1 >= bytes.size())
        return 1;
    const unsigned char second = byte(at + 1);
    if (second >= 0x30 && second <= 0x39)
        return qMin<qsizetype>(4, bytes.size() - at);
    return second >= 0x40 && second != 0x7F && second != 0xFF ? 2 : 1;
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Section and key names match without regard to ASCII case; compared as bytes of the file's
// encoding, so that no line is decoded just to be compared.
bool SameName(QByteArrayView a, QByteArrayView b, Encoding encoding)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype at = 0; at < a.size();) {
        const qsizetype length = CharLength(a, at, encoding);
        if (length != CharLength(b, at, encoding))
            return false;
        if (length == 1 ? AsciiLower(a[at]) != AsciiLower(b[at])
                        : a.sliced(at, length) != b.sliced(at, length))
            return false;
        at += length;
    }
    return true;
}

// The name between "[" and the first "]" that is a character of its own.
QByteArrayView SectionName(QByteArrayView header, Encoding encoding)
{
    qsizetype at = 1;
    while (at < header.size() && header[at] != ']')
        at += CharLength(header, at, encoding);
    return header.sliced(1, qMin(at, header.size()) - 1).trimmed();
}

// Lines added take the line end of the line before them, or of the file's first line; a file
// without any gets Windows line ends.
QByteArray LineBreak(QByteArrayView file, qsizetype before)
{
    qsizetype lf = before > 0 && file[before - 1] == '\n' ? before - 1 : file.indexOf('\n');
    if (lf < 0)
        return QByteArrayLiteral("\r\n");
    return lf > 0 && file[lf - 1] == '\r' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

struct Match
{
    bool section = false;      // the section exists
    qsizetype insertAt = -1;   // end of the section's header or last "key=" line
    qsizetype valueStart = -1; // the key's value, when the key exists
    qsizetype valueEnd = -1;
};

// The first section of that name, and the first line of the key in it.
// section and key: the names as bytes of the file's encoding.
Match Find(QByteArrayView file, Encoding encoding, QByteArrayView section, QByteArrayView key)
{
    Match match;
    bool inSection = false;
    qsizetype start = file.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
    while (start < file.size()) {
        const qsizetype lf = file.indexOf('\n', start);
        const qsizetype end = lf < 0 ? file.size() : lf + 1;
        qsizetype contentEnd = lf < 0 ? file.size() : lf;
        if (contentEnd > start && file[contentEnd - 1] == '\r')
            --contentEnd;
        const QByteArrayView line = file.sliced(start, contentEnd - start);
        const QByteArrayView trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            if (inSection)
                break;
            if (SameName(SectionName(trimmed, encoding), section, encoding)) {
                inSection = match.section = true;
                match.insertAt = end;
            }
        } else if (inSection) {
            // "=" is never part of a GBK or UTF-8 character.
            const qsizetype equals = line.indexOf('=');
            if (equals >= 0) {
                match.insertAt = end;
                if (SameName(line.first(equals).trimmed(), key, encoding)) {
                    match.valueStart = start + equals + 1;
                    match.valueEnd = contentEnd;
                    return match;
                }
            }
        }
        start = end;
    }
    return match;
}

bool ValidName(const QString &name, QStringView forbidden)
{
    if (TrimAscii(name).isEmpty())
        return false;
    for (const QChar c : name) {
        if (c == u'\n' || c == u'\r' || c == u'\0' || forbidden.contains(c))
            return false;
    }
    return true;
}

// What the file format can hold: a section or key name that reads back as itself, a value on
// one line.
bool Storable(const QString &section, const QString &key, const QString &value)
{
    return ValidName(section, u"]") && ValidName(key, u"=") && !TrimAscii(key).startsWith(u'[') &&
           !value.contains(u'\n') && !value.contains(u'\r') && !value.contains(u'\0');
}

} // namespace

QString IniValue(const QByteArray &file, const QString &section, const QString &key,
                 const QString &defaultValue)
{
    const QStringView wantedSection = TrimAscii(section);
    const QStringView wantedKey = TrimAscii(key);
    if (wantedSection.isEmpty() || wantedKey.isEmpty())
        return defaultValue;
    const Encoding encoding = Detect(file);
    const Match match = Find(file, encoding, Encode(wantedSection.toString(), encoding),
                             Encode(wantedKey.toString(), encoding));
    if (match.valueStart < 0)
        return defaultValue;
    QByteArrayView raw =
        QByteArrayView(file).sliced(match.valueStart, match.valueEnd - match.valueStart);
    const qsizetype nul = raw.indexOf('\0');
    if (nul >= 0)
        raw = raw.first(nul);
    QString value = Decode(raw.trimmed(), encoding);
    // Cut after ValueLimit characters, never inside a surrogate pair.
    qsizetype units = 0;
    for (qsizetype characters = 0; units < value.size() && characters < ValueLimit; ++characters)
        units += value[units].isHighSurrogate() && units + 1 < value.size() ? 2 : 1;
    value.truncate(units);
    return value;
}

QByteArray WithIniValue(const QByteArray &file, const QString &section, const QString &key,
                        const QString &value)
{
    if (!Storable(section, key, value))
        return file;
    const QString name = TrimAscii(key).toString();
    const QString header = TrimAscii(section).toString();
    const Encoding encoding = Detect(file);
    const QByteArray encodedHeader = Encode(header, encoding);
    const QByteArray encodedName = Encode(name, encoding);
    const Match match = Find(file, encoding, encodedHeader, encodedName);
    const QByteArray encodedValue = Encode(value, encoding);
    QByteArray result = file;
    if (match.valueStart >= 0) {
        // Replace the value in place, keeping the key as spelt and the spacing after "=".
        qsizetype from = match.valueStart;
        while (from < match.valueEnd && (file[from] == ' ' || file[from] == '\t'))
            ++from;
        return result.replace(from, match.valueEnd - from, encodedValue);
    }
    const QByteArray lineBreak = LineBreak(file, match.section ? match.insertAt : file.size());
    const QByteArray entry = encodedName + '=' + encodedValue;
    if (match.section) {
        if (match.insertAt == file.size() && !file.endsWith('\n'))
            return result.insert(match.insertAt, lineBreak + entry);
        return result.insert(match.insertAt, entry + lineBreak);
    }
    if (!result.isEmpty() && !result.endsWith('\n') && result != Utf8Bom)
        result += lineBreak;
    return result + '[' + encodedHeader + ']' + lineBreak + entry + lineBreak;
}

QString ReadIni(const QString &path, const QString &section, const QString &key,
                const QString &defaultValue)
{
    // Only a plain file is opened: a folder, a pipe or a device named Config.ini reads as missing
    // and cannot make the program wait.
    if (!QFileInfo(path).isFile())
        return defaultValue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue;
    return IniValue(file.read(ReadLimit), section, key, defaultValue);
}

bool WriteIni(const QString &path, const QString &section, const QString &key, const QString &value)
{
    if (!Storable(section, key, value))
        return false;
    const QFileInfo info(path);
    QByteArray old;
    if (info.exists()) {
        // A read-only Config.ini stays as it is, even for a user allowed to replace it.
        if (!info.isFile() || !info.isWritable() || !(info.permissions() & QFile::WriteOwner))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > ReadLimit)
            return false;
        old = file.readAll();
        // Never rewrite a file that was not read whole.
        if (file.error() != QFileDevice::NoError || old.size() != file.size())
            return false;
    }
    const QByteArray updated = WithIniValue(old, section, key, value);
    if (info.exists() && updated == old)
        return true;
    return WriteFileAtomically(path, updated);
}

} // namespace settings
