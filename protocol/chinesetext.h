#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <memory>

namespace protocol {

// The two code pages of this Chinese program: GBK, the local 8-bit code page Windows writes
// Config.ini and serial text in, and GB18030, its superset that holds every character. The same
// bytes on every system: Windows' own code pages 936 and 54936 there, ICU's converters elsewhere.
enum class ChineseEncoding { Gbk, Gb18030 };

// Whole text. Bytes that are no character of the encoding, or a character cut off at the end,
// come out as U+FFFD and make ok false.
QString DecodeChinese(QByteArrayView bytes, ChineseEncoding encoding, bool *ok = nullptr);
// Characters the encoding lacks come out as "?" and make ok false.
QByteArray EncodeChinese(QStringView text, ChineseEncoding encoding, bool *ok = nullptr);

// Text arriving in pieces: a character split across two pieces comes out whole with the second.
class ChineseStreamDecoder
{
public:
    explicit ChineseStreamDecoder(ChineseEncoding encoding = ChineseEncoding::Gbk);
    ~ChineseStreamDecoder();
    ChineseStreamDecoder(const ChineseStreamDecoder &) = delete;
    ChineseStreamDecoder &operator=(const ChineseStreamDecoder &) = delete;

    QString decode(QByteArrayView bytes);
    // Forgets a character begun and not finished.
    void resetState();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace protocol
