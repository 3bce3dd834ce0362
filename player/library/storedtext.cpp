#include "storedtext.h"

#include "azpack.h"

#include <QFile>
#include <QStringEncoder>


void forEachStoredLine(const QString &fileName, const std::function<void(QByteArrayView line)> &take)
{
    const QByteArray nativeName = QFile::encodeName(fileName);
    const char *restored = uncompressFileToString(nativeName.constData());
    if (!restored)
        return;
    // azpack keeps the text until its next call on this thread. One pass
    // finds both the line breaks and the NUL that ends the text.
    const char *start = restored;
    const char *pos = restored;
    for (char c = *pos; c != '\0'; c = *++pos) {
        if (c == '\r' || c == '\n') {
            take(QByteArrayView(start, pos - start));
            if (c == '\r' && pos[1] == '\n')
                ++pos;
            start = pos + 1;
        }
    }
    if (start < pos)
        take(QByteArrayView(start, pos - start));
    // A null name lets azpack free the text now: the lines are copied, and a
    // big library's text would otherwise stay resident until the next load.
    uncompressFileToString(nullptr);
}

bool storeText(const QByteArray &text, const QString &fileName)
{
    const QByteArray nativeName = QFile::encodeName(fileName);
    return compressString(text.constData(), nativeName.constData()) != 0;
}

TStoredTextBuilder::TStoredTextBuilder(qsizetype units, qsizetype lines)
{
    // Each UTF-16 unit gives at most three bytes. The spare room is never
    // touched, so it costs address space only.
    bytes_.resize(units * 3 + lines * 2);
    write_ = bytes_.data();
}

void TStoredTextBuilder::append(QStringView entry)
{
    char *const begin = write_;
    char *write = begin;
    bool ascii = true;
    for (const QChar c : entry) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
        *write++ = static_cast<char>(c.unicode());
    }
    if (!ascii) {
        // Stateless: a lone surrogate at the end of one entry must not pair
        // with the start of the next.
        QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        write = encoder.appendToBuffer(begin, entry);
    }
    for (char *p = begin; p < write; ++p) {
        if (*p == '\r' || *p == '\n' || *p == '\0')
            *p = ' ';
    }
    *write++ = '\r';
    *write++ = '\n';
    write_ = write;
}

QByteArray TStoredTextBuilder::take()
{
    bytes_.resize(write_ - bytes_.constData());
    write_ = nullptr;
    return std::move(bytes_);
}

QString TTextPool::text(QByteArrayView utf8)
{
    if (utf8.isEmpty())
        return QString();
    const auto found = texts_.constFind(utf8);
    if (found != texts_.cend())
        return found.value();
    QString value = QString::fromUtf8(utf8);
    texts_.insert(utf8, value);
    return value;
}
