#include "stationinfo.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {
constexpr std::string_view kTitleStart = "StreamTitle='";
constexpr std::string_view kTitleEnd = "';";
constexpr std::string_view kNameHeader = "icy-name:";
constexpr std::string_view kUrlHeader = "icy-url:";
constexpr std::string_view kBitRateHeader = "icy-br:";
const QString kAlbumOpen = u" ("_s;
const QString kAlbumClose = u" kBit)"_s;

// Stations send UTF-8 or, the older ones, Latin-1; text that is not valid
// UTF-8 is taken as Latin-1 rather than shown with replacement marks.
QString stationText(std::string_view bytes)
{
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (utf8.hasError())
        return QString::fromLatin1(view);
    return text;
}

QString headerValue(std::string_view rest)
{
    const std::size_t start = rest.find_first_not_of(' ');
    return start == std::string_view::npos ? QString() : stationText(rest.substr(start));
}
} // namespace

QString stripLineBreaks(const QString &text)
{
    QString stripped = text;
    for (QChar &c : stripped)
        if (c == u'\r' || c == u'\n')
            c = u' ';
    return stripped;
}

QString stationAlbumText(const TStreamInfo &info)
{
    return stripLineBreaks(info.stationUrl + kAlbumOpen + info.bitRate + kAlbumClose);
}

QString streamTitleFromMeta(std::string_view meta)
{
    const std::size_t start = meta.find(kTitleStart);
    if (start == std::string_view::npos)
        return {};
    const std::size_t from = start + kTitleStart.size();
    const std::size_t end = meta.find(kTitleEnd, from);
    if (end == std::string_view::npos)
        return {};
    return stationText(meta.substr(from, end - from));
}

void stationHeadersFromTags(std::string_view tags, TStreamInfo &info)
{
    while (!tags.empty()) {
        const std::size_t end = tags.find('\0');
        const std::string_view line = tags.substr(0, end);
        if (line.empty())
            break;
        if (line.starts_with(kNameHeader))
            info.stationName = headerValue(line.substr(kNameHeader.size()));
        else if (line.starts_with(kUrlHeader))
            info.stationUrl = headerValue(line.substr(kUrlHeader.size()));
        else if (line.starts_with(kBitRateHeader))
            info.bitRate = headerValue(line.substr(kBitRateHeader.size()));
        if (end == std::string_view::npos)
            break;
        tags.remove_prefix(end + 1);
    }
}

QString readStreamTitle(const audio::Engine &engine, audio::Handle stream)
{
    const auto meta = engine.channelGetTags(stream, audio::TagType::Meta);
    return meta ? streamTitleFromMeta(*meta) : QString();
}

namespace {
void headersFromTags(const std::optional<std::string> &http, const std::optional<std::string> &icy,
                     TStreamInfo &info)
{
    const auto &tags = http ? http : icy;
    if (!tags) {
        info.stationName.clear();
        info.stationUrl.clear();
        info.bitRate.clear();
        return;
    }
    stationHeadersFromTags(*tags, info);
}
} // namespace

void readStationHeaders(const audio::Engine &engine, audio::Handle stream, TStreamInfo &info)
{
    headersFromTags(engine.channelGetTags(stream, audio::TagType::Http),
                    engine.channelGetTags(stream, audio::TagType::Icy), info);
}

bool probeStation(audio::Engine &engine, const QString &url, TStreamInfo &info,
                  std::shared_ptr<const std::atomic<bool>> cancel)
{
    info = TStreamInfo{};
    const audio::Handle stream = engine.streamCreateUrl(stationAddress(url), 0, audio::kStreamStatus,
                                                        std::move(cancel));
    if (stream == 0)
        return false;
    info.streamTitle = readStreamTitle(engine, stream);
    readStationHeaders(engine, stream, info);
    engine.streamFree(stream);
    return true;
}

bool probeStation(const audio::UrlProbe &probe, const QString &url, TStreamInfo &info,
                  std::shared_ptr<const std::atomic<bool>> cancel)
{
    info = TStreamInfo{};
    const auto tags = probe(stationAddress(url), std::move(cancel));
    if (!tags)
        return false;
    info.streamTitle = tags->meta ? streamTitleFromMeta(*tags->meta) : QString();
    headersFromTags(tags->http, tags->icy, info);
    return true;
}

std::string stationAddress(const QString &url)
{
    return url.toStdString();
}
