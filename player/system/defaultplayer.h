#pragma once

// Whether the player opens its five file types: the start-up check with its
// questions, the take-over, and the reset that gives the types back to the
// programs that had them. The previous classes live in lines 10 to 14 of the
// skin settings; questions and messages go through the call-backs, so this
// runs without widgets.

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

// The stored text for a type with nothing to restore.
extern const QString kFileTypeNotSet; // "melodeck_not_set"
constexpr int kFileTypeCount = 5;
// The skin settings line of the first type (".mp3"); the others follow.
constexpr int kFirstFileTypeLine = 10;

enum class TNoticeKind { Problem, Done };

struct TDefaultPlayerSetup
{
    QString programPath;
    // What the class's desktop file shows: an icon name or a file.
    QString icon;
    // "skin.azo", and the lines it gets when it is missing or short.
    QString settingsFile;
    QStringList settingsDefaults;
    // A Yes/No question; true for Yes. yesByDefault is false where Yes
    // cannot be undone (the restart), so that Enter does not answer it.
    std::function<bool(const QString &title, const QString &text, bool yesByDefault)> ask;
    std::function<void(TNoticeKind kind, const QString &text)> tell;
    // Asked for after a take-over when the user agrees to restart.
    std::function<void()> restart;
};

class TDefaultPlayer
{
public:
    explicit TDefaultPlayer(TDefaultPlayerSetup setup);

    // Asks to take one type over when the player does not open it yet;
    // true when it did. `index` is the type's place among the five.
    bool checkFileType(const QString &extension, int index);
    // The start-up check of all five types, each with its own question, and
    // the restart question after any take-over. Nothing when switched off.
    void checkDefaultPlayer(bool switchedOn);
    // Gives every type back whose stored value names something to restore,
    // updates `stored` (a type that could not be restored keeps its value)
    // and writes the five values into the skin settings. True when no type
    // failed.
    bool resetFileTypes(std::array<QString, kFileTypeCount> &stored);

    // The five stored values as the skin settings hold them now.
    std::array<QString, kFileTypeCount> storedFileTypes() const;

private:
    void storeFileTypes(int first, const QStringList &values) const;

    TDefaultPlayerSetup setup_;
};
