/*
 * azpack - compresses files and texts into the AZ container and restores them.
 *
 * All four functions use C linkage and plain names. Texts and file names are
 * NUL-terminated byte strings; file names go to the operating system as they
 * are. Every call opens and closes its own files and keeps no state between
 * calls. Progress is logged to standard output; the log never changes a result.
 *
 * Saves (compressFile, compressString) write a temporary file beside the
 * target and rename it over the target only once every byte is written and
 * flushed, so a full disk or a crash never destroys the previous file; a
 * failed save returns false and leaves no temporary file behind.
 *
 * Ownership of restored texts: the pointer returned by uncompressFileToString
 * belongs to the library. It stays valid until the next call of
 * uncompressFileToString on the same thread, which frees it. Callers copy the
 * text at once and never free it themselves.
 */
#ifndef AZPACK_H
#define AZPACK_H

#if defined(AZPACK_BUILDING)
#define AZPACK_API __attribute__((visibility("default")))
#else
#define AZPACK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One-byte boolean: nonzero means success. */
typedef unsigned char azpack_bool;

/* Compresses the file `source` into the container file `target`. */
AZPACK_API azpack_bool compressFile(const char *source, const char *target);

/* Restores the container file `source` into the file `target`. The target is
 * truncated first; a damaged container leaves the bytes restored so far. */
AZPACK_API azpack_bool uncompressFile(const char *source, const char *target);

/* Compresses the text (up to its NUL byte) into the container file `target`.
 * An empty text leaves an empty target file. */
AZPACK_API azpack_bool compressString(const char *text, const char *target);

/* Restores the container file `source` into a NUL-terminated text, or returns
 * null when the file is missing, unreadable or damaged. An empty file gives a
 * constant empty text. See the ownership note above. */
AZPACK_API const char *uncompressFileToString(const char *source);

#ifdef __cplusplus
}
#endif

#endif /* AZPACK_H */
