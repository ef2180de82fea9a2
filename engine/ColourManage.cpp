#include "engine/ColourManage.h"

#include <QHash>

#include <lcms2.h>

#include <atomic>
#include <cmath>
#include <map>
#include <tuple>

namespace {

// Profiles this long are refused unread; real ones are well below.
constexpr qsizetype kMaxProfileBytes = qsizetype(16) << 20;
// Kept transforms and classifications; past that the older ones go.
constexpr size_t kMaxKept = 32;

struct ProfileCloser
{
    void operator()(void* p) const
    {
        if (p) cmsCloseProfile(p);
    }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile openProfile(const QByteArray& icc)
{
    if (icc.isEmpty() || icc.size() > kMaxProfileBytes) return Profile();
    return Profile(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
}

Profile srgbProfile()
{
    return Profile(cmsCreate_sRGBProfile());
}

double srgbEncode(double linear)
{
    if (linear <= 0.0031308) return 12.92 * linear;
    return 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

bool sameXyz(const cmsCIEXYZ* a, const cmsCIEXYZ* b)
{
    constexpr double tolerance = 0.002;
    return a && b && std::abs(a->X - b->X) < tolerance && std::abs(a->Y - b->Y) < tolerance &&
           std::abs(a->Z - b->Z) < tolerance;
}

// Every 8-bit level, taken through the curve and back through sRGB's
// encoding, comes out as itself.
bool srgbCurve(const cmsToneCurve* curve)
{
    if (!curve) return false;
    for (int i = 0; i < 256; ++i) {
        const double linear = cmsEvalToneCurveFloat(curve, cmsFloat32Number(i / 255.0));
        if (std::lround(255.0 * srgbEncode(std::clamp(linear, 0.0, 1.0))) != i) return false;
    }
    return true;
}

sq::ProfileKind classifyOpen(void* p)
{
    if (!p || cmsGetColorSpace(p) != cmsSigRgbData) return sq::ProfileKind::None;
    if (!cmsIsIntentSupported(p, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT) &&
        !cmsIsIntentSupported(p, INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT))
        return sq::ProfileKind::None;
    if (!cmsIsMatrixShaper(p)) return sq::ProfileKind::Other;
    // A table-driven intent takes precedence over the matrix in a transform.
    if (cmsIsTag(p, cmsSigAToB0Tag)) return sq::ProfileKind::Other;
    static const Profile srgb = srgbProfile();
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                          cmsSigBlueColorantTag};
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        if (!sameXyz(static_cast<const cmsCIEXYZ*>(cmsReadTag(p, colorants[c])),
                     static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), colorants[c]))))
            return sq::ProfileKind::Other;
        if (!srgbCurve(static_cast<const cmsToneCurve*>(cmsReadTag(p, curves[c]))))
            return sq::ProfileKind::Other;
    }
    return sq::ProfileKind::Srgb;
}

// A profile's identity in the caches: its size and a 64-bit digest.
using ProfileId = std::pair<qsizetype, size_t>;

ProfileId idOf(const QByteArray& icc)
{
    return {icc.size(), size_t(qHash(icc, 0x5ca1ab1e))};
}

struct TransformDeleter
{
    void operator()(void* t) const
    {
        if (t) cmsDeleteTransform(t);
    }
};
using Transform = std::shared_ptr<void>;

// Made transforms and classified profiles, shared by every thread.
struct Kept
{
    std::mutex lock;
    std::map<std::tuple<ProfileId, ProfileId, int>, Transform> transforms;
    std::map<ProfileId, sq::ProfileKind> kinds;
};

Kept& kept()
{
    static Kept k;
    return k;
}

std::atomic<int> g_made{0};

sq::ProfileKind kindOf(const QByteArray& icc)
{
    if (icc.isEmpty()) return sq::ProfileKind::None;
    const ProfileId id = idOf(icc);
    Kept& k = kept();
    {
        const std::lock_guard<std::mutex> guard(k.lock);
        const auto it = k.kinds.find(id);
        if (it != k.kinds.end()) return it->second;
    }
    const Profile p = openProfile(icc);
    const sq::ProfileKind kind = classifyOpen(p.get());
    const std::lock_guard<std::mutex> guard(k.lock);
    if (k.kinds.size() >= kMaxKept) k.kinds.clear();
    k.kinds.emplace(id, kind);
    return kind;
}

// The transform from source to display for pixels of the given lcms type;
// null when LittleCMS cannot make one (remembered as such).
Transform transformFor(const QByteArray& source, const QByteArray& display, cmsUInt32Number type)
{
    const auto key = std::make_tuple(idOf(source), idOf(display), int(type));
    Kept& k = kept();
    const std::lock_guard<std::mutex> guard(k.lock);
    const auto it = k.transforms.find(key);
    if (it != k.transforms.end()) return it->second;
    // Users of a dropped transform hold their own reference to it.
    if (k.transforms.size() >= kMaxKept) k.transforms.clear();
    const Profile in = openProfile(source);
    Profile out = display.isEmpty() ? Profile() : openProfile(display);
    if (!out || cmsGetColorSpace(out.get()) != cmsSigRgbData ||
        !cmsIsIntentSupported(out.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_OUTPUT))
        out = srgbProfile();
    Transform t;
    if (in && out) {
        // No one-pixel cache: the transform is used by several threads at once.
        cmsUInt32Number flags = cmsFLAGS_NOCACHE;
        if (T_EXTRA(type)) flags |= cmsFLAGS_COPY_ALPHA;
        void* made = cmsCreateTransform(in.get(), type, out.get(), type, INTENT_PERCEPTUAL, flags);
        if (made) {
            t = Transform(made, TransformDeleter());
            ++g_made;
        }
    }
    k.transforms.emplace(key, t);
    return t;
}

quint16 digest16(const QByteArray& bytes)
{
    const size_t h = qHash(bytes, 0x0c01005e);
    const quint16 v = quint16(h ^ (h >> 16) ^ (h >> 32) ^ (h >> 48));
    return v == 0 ? 1 : v;
}

} // namespace

namespace sq {

ColourSetting::ColourSetting() : m_current(std::make_shared<DisplayColour>()) {}

std::shared_ptr<const DisplayColour> ColourSetting::current() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_current;
}

void ColourSetting::set(bool on, const QByteArray& displayProfile)
{
    auto next = std::make_shared<DisplayColour>();
    next->on = on;
    next->profile = displayProfile;
    next->key = displayKey(displayProfile);
    const std::lock_guard<std::mutex> guard(m_lock);
    m_current = std::move(next);
}

ColourSetting& ColourSetting::program()
{
    static ColourSetting setting;
    return setting;
}

ProfileKind classifyProfile(const QByteArray& icc)
{
    return kindOf(icc);
}

quint16 displayKey(const QByteArray& displayProfile)
{
    // An unreadable display profile is sRGB, as conversions take it.
    if (kindOf(displayProfile) == ProfileKind::None) return digest16(QByteArray());
    return digest16(displayProfile);
}

bool convertToDisplay(QImage& image, const QByteArray& profile, const DisplayColour& target)
{
    if (!target.on || image.isNull() || profile == target.profile) return false;
    cmsUInt32Number type = 0;
    switch (image.format()) {
    case QImage::Format_RGB888:
        type = TYPE_RGB_8;
        break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        type = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
        break;
    default:
        return false;
    }
    if (kindOf(profile) != ProfileKind::Other) return false;
    const QByteArray display =
        kindOf(target.profile) == ProfileKind::None ? QByteArray() : target.profile;
    const Transform t = transformFor(profile, display, type);
    if (!t) return false;
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        cmsDoTransform(t.get(), line, line, cmsUInt32Number(w));
    }
    return true;
}

int transformsMade()
{
    return g_made.load();
}

} // namespace sq
