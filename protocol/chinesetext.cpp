#include "protocol/chinesetext.h"

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace protocol {

namespace {

#if defined(Q_OS_WIN)

UINT CodePage(ChineseEncoding encoding)
{
    return encoding == ChineseEncoding::Gbk ? 936 : 54936;
}

// Bytes of the character starting at bytes[at], or 0 when it is cut off by the end. A lead byte
// 0x81..0xFE takes one more byte, or three more when the next is a digit (GB18030's four-byte
// form); any other byte stands alone.
qsizetype CharLength(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    if (byte(at) < 0x81 || byte(at) == 0xFF)
        return 1;
    if (at + 1 >= bytes.size())
        return 0;
    const qsizetype length = byte(at + 1) >= 0x30 && byte(at + 1) <= 0x39 ? 4 : 2;
    return at + length <= bytes.size() ? length : 0;
}

// The bytes up to the last whole character.
qsizetype WholeLength(QByteArrayView bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = CharLength(bytes, at);
        if (length == 0)
            break;
        at += length;
    }
    return at;
}

QString Decode(QByteArrayView bytes, ChineseEncoding encoding, bool *ok)
{
    *ok = true;
    if (bytes.isEmpty())
        return {};
    const UINT page = CodePage(encoding);
    const int size = int(bytes.size());
    int length = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (length == 0) {
        *ok = false;
        flags = 0;
        length = MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
    }
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(page, flags, bytes.data(), size, reinterpret_cast<wchar_t *>(text.data()),
                        length);
    return text;
}

QByteArray Encode(QStringView text, ChineseEncoding encoding, bool *ok)
{
    *ok = true;
    if (text.isEmpty())
        return {};
    const UINT page = CodePage(encoding);
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int size = int(text.size());
    // GB18030 holds every character; only a broken surrogate pair fails there.
    const DWORD flags =
        encoding == ChineseEncoding::Gbk ? WC_NO_BEST_FIT_CHARS : WC_ERR_INVALID_CHARS;
    BOOL defaulted = FALSE;
    BOOL *usedDefault = encoding == ChineseEncoding::Gbk ? &defaulted : nullptr;
    int length = WideCharToMultiByte(page, flags, wide, size, nullptr, 0, nullptr, usedDefault);
    DWORD used = flags;
    if (length == 0) {
        *ok = false;
        used = 0;
        length = WideCharToMultiByte(page, 0, wide, size, nullptr, 0, nullptr, nullptr);
    }
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(page, used, wide, size, bytes.data(), length, nullptr, usedDefault);
    if (defaulted)
        *ok = false;
    return bytes;
}

#else

const char *CodecName(ChineseEncoding encoding)
{
    return encoding == ChineseEncoding::Gbk ? "GBK" : "GB18030";
}

QString Decode(QByteArrayView bytes, ChineseEncoding encoding, bool *ok)
{
    QStringDecoder decoder(CodecName(encoding), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    *ok = !decoder.hasError();
    return text;
}

QByteArray Encode(QStringView text, ChineseEncoding encoding, bool *ok)
{
    QStringEncoder encoder(CodecName(encoding), QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        encoder = QStringEncoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    *ok = !encoder.hasError();
    return bytes;
}

#endif

} // namespace

QString DecodeChinese(QByteArrayView bytes, ChineseEncoding encoding, bool *ok)
{
    bool decoded = true;
    QString text = Decode(bytes, encoding, &decoded);
    if (ok)
        *ok = decoded;
    return text;
}

QByteArray EncodeChinese(QStringView text, ChineseEncoding encoding, bool *ok)
{
    bool encoded = true;
    QByteArray bytes = Encode(text, encoding, &encoded);
    if (ok)
        *ok = encoded;
    return bytes;
}

#if defined(Q_OS_WIN)

struct ChineseStreamDecoder::Private
{
    ChineseEncoding encoding;
    QByteArray pending; // a character begun in the previous piece
};

ChineseStreamDecoder::ChineseStreamDecoder(ChineseEncoding encoding)
    : d(std::make_unique<Private>(Private{encoding, {}}))
{}

QString ChineseStreamDecoder::decode(QByteArrayView bytes)
{
    d->pending.append(bytes);
    const qsizetype whole = WholeLength(d->pending);
    bool ok = true;
    const QString text = Decode(QByteArrayView(d->pending).first(whole), d->encoding, &ok);
    d->pending.remove(0, whole);
    return text;
}

void ChineseStreamDecoder::resetState()
{
    d->pending.clear();
}

#else

struct ChineseStreamDecoder::Private
{
    QStringDecoder decoder;
};

ChineseStreamDecoder::ChineseStreamDecoder(ChineseEncoding encoding)
    : d(std::make_unique<Private>(Private{QStringDecoder(CodecName(encoding))}))
{
    if (!d->decoder.isValid())
        d->decoder = QStringDecoder(QStringConverter::System);
}

QString ChineseStreamDecoder::decode(QByteArrayView bytes)
{
    return d->decoder.decode(bytes);
}

void ChineseStreamDecoder::resetState()
{
    d->decoder.resetState();
}

#endif

ChineseStreamDecoder::~ChineseStreamDecoder() = default;

} // namespace protocol
