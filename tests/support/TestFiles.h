// Helpers of the tests that make folders, files and damaged files. Used by
// every test target through sq_testsupport.
#pragma once

#include <QByteArray>
#include <QString>

namespace sq::test {

// Writes bytes to path, creating the parent folders. Fails the test (QVERIFY
// in the caller's stead) by returning false.
bool writeFile(const QString& path, const QByteArray& bytes);

// Reads a whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);

} // namespace sq::test

#include <QImage>

namespace sq::test {

// A picture with a recognisable pattern: colour bands plus a gradient.
QImage patternImage(int width, int height);

// Saves a picture as JPEG (quality 90) or BMP; false on failure.
bool writeJpeg(const QString& path, const QImage& image, int quality = 90);
bool writeBmp(const QString& path, const QImage& image);

} // namespace sq::test
