#pragma once

// What the player learns from a web-radio station: its name, web address and
// bit rate from the answer's icy-* header lines, and the current title from
// the in-band metadata. The parsing works on the texts the audio library
// returns; the readers fetch those texts for a stream.

#include "engine.h"

#include <QString>

#include <atomic>
#include <memory>
#include <string_view>

// The four texts a station tells about itself; a fresh record has all empty.
struct TStreamInfo
{
    QString streamTitle;
    QString stationName;
    QString stationUrl;
    QString bitRate;
};

// Replaces every carriage return and line feed by a space, so that a text
// from a station can never break the five-lines-per-row store layout.
QString stripLineBreaks(const QString &text);

// The Album column of a station: web address and bit rate, line breaks
// stripped. An unreachable station gets " ( kBit)".
QString stationAlbumText(const TStreamInfo &info);

// The text between the first "StreamTitle='" and the first "';" after it;
// empty when either marker is missing.
QString streamTitleFromMeta(std::string_view meta);

// Walks "line\0line\0...\0\0": "icy-name:", "icy-url:" and "icy-br:" (exact
// case) set the name, web address and bit rate to the rest of the line
// without its leading spaces; the last of repeated lines wins, missing ones
// leave the field as it was, every other line is skipped.
void stationHeadersFromTags(std::string_view tags, TStreamInfo &info);

// The stream's current title, or empty.
QString readStreamTitle(const audio::Engine &engine, audio::Handle stream);

// Fills the name, web address and bit rate from the stream's HTTP header
// lines, or its ICY lines when there are none; with neither, all three become
// empty.
void readStationHeaders(const audio::Engine &engine, audio::Handle stream, TStreamInfo &info);

// Opens the URL briefly to learn the four texts. False (and four empty texts)
// when no stream could be opened. `cancel` lets another thread give up a
// probe that is still connecting.
bool probeStation(audio::Engine &engine, const QString &url, TStreamInfo &info,
                  std::shared_ptr<const std::atomic<bool>> cancel = {});

// The same through a probe that needs no engine (see audio::Engine::urlProbe).
bool probeStation(const audio::UrlProbe &probe, const QString &url, TStreamInfo &info,
                  std::shared_ptr<const std::atomic<bool>> cancel = {});

// The URL as the audio library takes it.
std::string stationAddress(const QString &url);
