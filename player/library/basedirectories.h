#pragma once

// The base directories: the folders the library scan walks, kept in
// "music_directories.azi" in the order they were added.

#include "options.h"

#include <QString>

extern const QString kBaseDirectoriesFileName; // "music_directories.azi"

// programDirectory + "music_directories.azi".
QString baseDirectoriesFile(const QString &programDirectory = programDir());

// A missing or unreadable file is an empty list.
TStringListC loadBaseDirectories(const QString &programDirectory = programDir());
void saveBaseDirectories(const TStringListC &baseDirectories,
                         const QString &programDirectory = programDir());

// Deletes the entries that no longer name an existing directory; true when
// it deleted any.
bool removeMissingDirectories(TStringListC &baseDirectories);

// False when the path is a base directory or lies below one. A base
// directory covers only its own subtree: "/music2" is new beside "/music".
// Case-sensitive; an empty entry covers nothing.
bool isNewBaseDirectory(const QString &path, const TStringListC &baseDirectories);

// The folder part of a path, without a trailing "/" (except for the root).
QString directoryPart(const QString &path);

// The path without trailing "/" (the root stays "/").
QString withoutTrailingSlash(const QString &path);
