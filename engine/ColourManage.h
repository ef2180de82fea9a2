// Colour management: a picture that carries an ICC profile other than sRGB is
// turned into the display's colours with LittleCMS, on the thread that decodes
// it. Pictures without a profile, with an sRGB one or with one that cannot be
// read are left exactly as decoded. TImgUtil calls it; the app layer owns the
// one ColourSetting every engine of the program reads.
#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>
#include <mutex>

namespace sq {

// What decoded pictures are turned into at one moment.
struct DisplayColour
{
    bool on = false;
    // The display's ICC profile; empty (or unreadable) means sRGB.
    QByteArray profile;
    // A 16-bit digest of the display profile, never 0: it marks thumbnails
    // made for it in the cache.
    quint16 key = 1;
};

// The switch and the display profile, shared by engines on several threads.
// The GUI thread sets it; a decode takes one snapshot when it starts, so a
// change never mixes two states in one picture.
class ColourSetting
{
public:
    ColourSetting();
    std::shared_ptr<const DisplayColour> current() const;
    void set(bool on, const QByteArray& displayProfile);

    // The one setting of the program's engines, off until the program
    // switches it on.
    static ColourSetting& program();

private:
    mutable std::mutex m_lock;
    std::shared_ptr<const DisplayColour> m_current;
};

enum class ProfileKind {
    None,  // no profile, or one LittleCMS cannot read or that is not RGB
    Srgb,  // RGB with sRGB's colorants, white and tone curves
    Other, // an RGB profile pictures are converted from
};

// Reads the profile with LittleCMS: an RGB profile whose D50 colorants and
// tone curves equal sRGB's within a fraction of one 8-bit level is sRGB.
ProfileKind classifyProfile(const QByteArray& icc);

// The cache mark of a display profile (empty: sRGB), 1 .. 65535.
quint16 displayKey(const QByteArray& displayProfile);

// Turns image (RGB888, or ARGB32 / RGB32 whose alpha is kept) from the
// colours of profile into target's, in place. False, and image untouched,
// when target is off, the profile is not of kind Other, or the display
// profile equals it. Transforms are made once per (source, display) pair
// and kept; any thread.
bool convertToDisplay(QImage& image, const QByteArray& profile, const DisplayColour& target);

// Number of transforms made so far (for tests and benchmarks).
int transformsMade();

} // namespace sq
