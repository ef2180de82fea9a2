// The engine tests' comparison of a box with one loaded plainly: everything a
// window can read from it after a load, and what it shows.
#pragma once

#include "engine/ImgBox.h"

#include <QScrollBar>
#include <QtTest>

#include <utility>

inline void compareBoxes(TImgBox& got, TImgBox& want)
{
    QCOMPARE(got.Loaded(), want.Loaded());
    QCOMPARE(got.ImageFile(), want.ImageFile());
    QCOMPARE(got.PictureRect(), want.PictureRect());
    QCOMPARE(got.ViewBitmap(), want.ViewBitmap());
    QCOMPARE(got.ScrollX(), want.ScrollX());
    QCOMPARE(got.ScrollY(), want.ScrollY());
    QCOMPARE(got.clientSize(), want.clientSize());
    for (const auto& bars : {std::pair(got.horizontalBar(), want.horizontalBar()),
                             std::pair(got.verticalBar(), want.verticalBar())}) {
        QCOMPARE(bars.first->isVisibleTo(&got), bars.second->isVisibleTo(&want));
        QCOMPARE(bars.first->maximum(), bars.second->maximum());
        QCOMPARE(bars.first->pageStep(), bars.second->pageStep());
    }
    const TImgUtil& a = *got.ImgUtil();
    const TImgUtil& b = *want.ImgUtil();
    QCOMPARE(a.Bitmap().image(), b.Bitmap().image());
    QCOMPARE(a.ImageWidth(), b.ImageWidth());
    QCOMPARE(a.ImageHeight(), b.ImageHeight());
    QCOMPARE(a.ImageType(), b.ImageType());
    QCOMPARE(got.grab().toImage(), want.grab().toImage());
}
