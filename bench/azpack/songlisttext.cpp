#include "songlisttext.h"

#include <array>
#include <random>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 24> artists = {
    "Queen", "The Beatles", "Pink Floyd", "Radiohead", "Massive Attack", "Björk", "Daft Punk", "Nina Simone",
    "Miles Davis", "Portishead", "The Cure", "Depeche Mode", "Led Zeppelin", "Kraftwerk", "Air", "Moby",
    "Fleetwood Mac", "David Bowie", "Joy Division", "New Order", "Sade", "Prince", "Beck", "Blur"};
constexpr std::array<std::string_view, 40> words = {
    "Love", "Night", "Blue", "Dream", "Heart", "City", "Light", "Rain", "Fire", "Time", "Road", "Moon",
    "Summer", "Girl", "World", "Song", "Sky", "Star", "Water", "Home", "Angel", "Dance", "Gold", "Ghost",
    "Shadow", "River", "Silence", "Morning", "Street", "Paradise", "Electric", "Lonely", "Wild", "Sweet",
    "Broken", "Forever", "Midnight", "Radio", "Machine", "Garden"};
constexpr std::array<std::string_view, 5> extensions = {".mp3", ".mp3", ".mp3", ".ogg", ".wma"};
constexpr std::string_view musicRoot = "/home/anna/Music/";
constexpr std::string_view lineEnd = "\r\n";

} // namespace

std::string songListText(std::size_t bytes)
{
    std::mt19937 random(2024);
    const auto pick = [&random](const auto &list) { return list[random() % list.size()]; };
    const auto phrase = [&](int n) {
        std::string s(pick(words));
        for (int i = 1; i < n; ++i)
            s.append(" ").append(pick(words));
        return s;
    };
    std::string text;
    text.reserve(bytes + 512);
    while (text.size() < bytes) {
        const std::string artist(pick(artists));
        const std::string album = phrase(1 + static_cast<int>(random() % 3));
        const int year = 1965 + static_cast<int>(random() % 58);
        for (int track = 1; track <= 12 && text.size() < bytes; ++track) {
            const std::string title = phrase(1 + static_cast<int>(random() % 4));
            const std::string number = (track < 10 ? "0" : "") + std::to_string(track);
            const std::string fileName = number + " - " + title + std::string(pick(extensions));
            if (random() % 6 == 0) {
                // A member of an archive: the name inside it, then the archive.
                text.append(artist).append(" - ").append(fileName).append(lineEnd);
                text.append(musicRoot).append("Archives/").append(artist).append(" - ").append(album);
                text.append(".rar").append(lineEnd);
            } else {
                text.append(musicRoot).append(artist).append("/").append(std::to_string(year)).append(" - ");
                text.append(album).append("/").append(fileName).append(lineEnd);
                text.append(lineEnd);
            }
            text.append(artist).append(lineEnd).append(title).append(lineEnd).append(album).append(lineEnd);
        }
    }
    return text;
}
