#pragma once

#include <QtGlobal>

// Numbers of the failures the program raises itself, in the run-time's classic numbering, so that a
// reported number means the same thing wherever it comes from. Database failures are listed in
// database/DbErrors.h; the word processor's in wordproc/.
namespace ErrorNumbers {
constexpr qint32 InvalidArgument = 5;        // "Invalid procedure call or argument"
constexpr qint32 OutOfMemory = 7;            // "Out of memory"
constexpr qint32 SubscriptOutOfRange = 9;    // "Subscript out of range"
constexpr qint32 TypeMismatch = 13;          // "Type mismatch"
constexpr qint32 FileNotFound = 53;          // "File not found"
constexpr qint32 FileAlreadyOpen = 55;       // "File already open"
constexpr qint32 InputPastEndOfFile = 62;    // "Input past end of file"
constexpr qint32 PermissionDenied = 70;      // "Permission denied"
constexpr qint32 PathFileAccessError = 75;   // "Path/File access error"
constexpr qint32 PathNotFound = 76;          // "Path not found"
constexpr qint32 InvalidUseOfNull = 94;      // "Invalid use of Null"
constexpr qint32 InternalError = 51;         // "Internal error" (an unexpected failure of our own)
constexpr qint32 InvalidPropertyIndex = 381; // "Invalid property array index"
} // namespace ErrorNumbers
