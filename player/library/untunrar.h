#pragma once

// Access to RAR archives through libarchive, which is loaded at run time:
// when it is missing, archives add no songs and nothing is extracted, without
// a message. Everything runs on the user-interface thread.

#include "options.h"

#include <QString>

#include <functional>
#include <memory>

class TUnRar
{
public:
    // Names another library file to load instead of libarchive (tests use it
    // for the missing-library path).
    static constexpr char libraryVariable[] = "MELODECK_LIBARCHIVE";
    static constexpr char librarySoname[] = "libarchive.so.13";
    static constexpr char scratchFileName[] = "temp.dat";
    // Handed to libarchive for archives whose first member is encrypted.
    static constexpr char archivePassword[] = "Melodeck-RAR-2026!";
    static_assert(sizeof archivePassword - 1 == 18);

    // The scratch file lies in programDirectory (with its trailing "/").
    explicit TUnRar(const TFileFilterInfos &filter, QString programDirectory = programDir());
    ~TUnRar();
    TUnRar(const TUnRar &) = delete;
    TUnRar &operator=(const TUnRar &) = delete;

    // Loads the file named by $MELODECK_LIBARCHIVE, else libarchive by its
    // soname, and binds every function used. False when the library or any
    // function is missing.
    bool loadArchiveLibrary();
    bool loadArchiveLibrary(const QString &libraryFile);
    void freeArchiveLibrary();
    bool archiveLibraryLoaded() const { return binding_ != nullptr; }

    // One row per accepted member, in archive order. Of each accepted member
    // only the bytes the tag reader looks at are extracted, to the scratch
    // file, so a huge member costs no more than a small one; playback
    // extracts the whole member again. betweenMembers runs after each member
    // (the scan lets the message loop run there); should it free the
    // library, the listing ends with the rows so far. Empty when the library
    // is missing or the archive cannot be opened; a read error ends the
    // listing and keeps the rows read so far.
    TFileRARInfos listArchive(const QString &archivePath,
                              const std::function<void()> &betweenMembers = {}) const;

    // Reads the archive up to the member named exactly member and writes its
    // data to folder/file (just file when folder is empty). The destination
    // is replaced atomically: it is either left as it was or holds the whole
    // member. False, with the destination untouched, when the library is
    // missing, the member is absent, encrypted or unreadable, or the write
    // fails; the caller must then not open the destination as that member.
    bool extractMember(const QString &archivePath, const QString &member, const QString &folder,
                       const QString &file) const;

    // Deletes the scratch file if it exists; failures are ignored.
    void deleteScratchFile() const;

    QString scratchFile() const { return programDir_ + QLatin1StringView(scratchFileName); }

private:
    struct Binding;
    class Reader;

    const TFileFilterInfos &filter_;
    const QString programDir_;
    // Shared with a listing in progress, which may outlive a release made
    // from its betweenMembers call.
    std::shared_ptr<const Binding> binding_;
};
