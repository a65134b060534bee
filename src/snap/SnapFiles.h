#pragma once

#include <QByteArray>
#include <QString>

// Where finished screen snaps are written as PNG files, and under which names.
namespace SnapFiles {

// "<title>(<date>).png": the title without ":", "/" and "\", the date with its colons as dots,
// every other character (non-Latin ones too) kept.
QString FileName(const QString& title, const QString& date);

// The folder joined with the name; while a file of that name exists, " (2)", " (3)" ... go
// before the extension, so an earlier picture is never replaced.
QString UniquePath(const QString& folder, const QString& fileName);

// Writes the bytes to the path as a whole or not at all, making its folder first. The reason it
// failed, or an empty text.
QString Write(const QString& path, const QByteArray& bytes);

} // namespace SnapFiles
