// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The texts of the store's failures about a table's files. Each names the
// table by its data file, whichever of its files failed; StoreError cuts them
// to 127 characters.

#include <string>

namespace store::messages {

inline std::string notCorrectVersion(const std::string& file) { return "Data file " + file + " is not the correct version"; }
inline std::string headerCorrupt(const std::string& file) { return "Header information corrupt in data file " + file; }
inline std::string languageDriverMissing(const std::string& file)
{
    return "The language driver for data file " + file + " is not available or installed";
}
inline std::string passwordRequired(const std::string& file)
{
    return "Insufficient rights to data file " + file + ", a password is required";
}
inline std::string accessDenied(const std::string& file) { return "Access denied to data file " + file; }
inline std::string invalidPath(const std::string& file) { return "Invalid path or file name for data file " + file; }
inline std::string tooManyFiles(const std::string& file)
{
    return "Too many files open while attempting to open data file " + file;
}
inline std::string unknownSystemError(const std::string& file)
{
    return "An unknown operating system error occurred with data file " + file;
}
inline std::string mustBeExclusive(const std::string& file) { return "Data file " + file + " must be opened exclusively"; }
inline std::string valueRequired(const std::string& column, const std::string& file)
{
    return "A value must be provided for the field " + column + " in data file " + file;
}
inline std::string belowMinimum(const std::string& column, const std::string& file)
{
    return "The value for the field " + column + " in data file " + file + " is below the minimum " + "allowable value";
}
inline std::string aboveMaximum(const std::string& column, const std::string& file)
{
    return "The value for the field " + column + " in data file " + file + " is above the maximum " + "allowable value";
}
inline std::string invalidField(const std::string& number, const std::string& file)
{
    return "Invalid field number or name " + number + " specified for data file " + file;
}
inline std::string recordBuffersCorrupt(const std::string& file) { return "Data record buffers corrupt in data file " + file; }
inline std::string fileFull(const std::string& file)
{
    return "The data file " + file + " is full and cannot contain any more data";
}
inline std::string errorReading(const std::string& file) { return "Error reading from data file " + file; }
inline std::string errorWriting(const std::string& file) { return "Error writing to data file " + file; }
inline std::string notEnoughSpace(const std::string& file) { return "not enough disk space to write " + file; }
inline std::string journalDamaged(const std::string& file)
{
    return "the journal of " + file + " is damaged; the table may be half written: run tabletool repair";
}
inline std::string journalUnreadable(const std::string& journal) { return "The journal " + journal + " is not a readable file"; }
inline std::string journalCannotBeMade(const std::string& journal)
{
    return "The journal " + journal + " cannot be made: its folder is not writable";
}
inline std::string hotJournalReadOnly(const std::string& file)
{
    return "Data file " + file + " was left half written, and this copy cannot write it to put it back";
}
inline std::string blobBuffersCorrupt(const std::string& file) { return "BLOB block buffers corrupt in data file " + file; }
inline std::string endOfBlob(const std::string& file)
{
    return "End of blob data in data file " + file + " reached prematurely";
}
inline std::string invalidBlobOffset(const std::string& file)
{
    return "Invalid blob offset into data file " + file + " specified";
}
inline std::string invalidBlobField(const std::string& column, const std::string& file)
{
    return "Invalid blob field " + column + " specified for data file " + file;
}
inline std::string tooManyBlobs(const std::string& file) { return "Too many blobs opened in data file " + file; }
inline std::string indexBuffersCorrupt(const std::string& file) { return "Index page buffers corrupt in data file " + file; }

}  // namespace store::messages
