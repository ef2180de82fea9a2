// Writers of the icon-carrying files the tests need: icon images (DIB with
// AND mask, or PNG), ICO/CUR files, ANI animated cursors and a minimal PE
// executable with icon groups. Used by tst_iconresources, tst_kinds and the
// seed corpora of the fuzz targets.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>

namespace sq::test {

// One image of an icon: a side x side square of `colour`, except that the
// top-left quarter is transparent (AND mask bit set, or alpha 0 in 32 bits).
struct IconImageDesc
{
    int side = 32;
    int bitCount = 24; // 1, 4, 8, 24, 32; 0 = PNG
    QColor colour = Qt::red;
};

// The image bytes as stored in an ICO entry or an RT_ICON resource.
QByteArray makeIconImage(const IconImageDesc& desc);

// An ICO (cursor = false) or CUR file with one entry per desc.
QByteArray makeIcoFile(const QList<IconImageDesc>& images, bool cursor = false);

// An ANI file whose "fram" list holds the given ICO/CUR files; with `sequence`
// non-empty a "seq " chunk says which frame is shown at each step.
QByteArray makeAniFile(const QList<QByteArray>& frames, const QList<quint32>& sequence = {});

// A PE32 (or PE32+) file with one .rsrc section holding one RT_GROUP_ICON per
// group, each listing its images as RT_ICON resources.
QByteArray makePeFile(const QList<QList<IconImageDesc>>& groups, bool pe32plus = false);

// The same PE with no resource section at all.
QByteArray makePeFileWithoutResources();

} // namespace sq::test
