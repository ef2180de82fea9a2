// TSPlugin, the Susie plug-in host: asks plug-in libraries whether they accept
// a file and turns the DIB an accepting one returns into a 24-bit picture.
// Used by TImgUtil. Plug-ins are Linux shared libraries exporting IsSupported,
// GetPicture and GetPreview with C linkage; their memory handles are malloc'd
// blocks the host frees. No locks: one thread at a time per host.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

extern "C" {
// head points at the first 2176 bytes of the file (zero-filled past its end).
typedef int (*SusieIsSupported)(const char* fileName, void* head);
typedef int (*SusieProgress)(int num, int denom, long data);
// On 0 *info holds a BITMAPINFOHEADER and its colour table, *bits the rows.
typedef int (*SusieGetPicture)(const char* source, long offset, unsigned int flags, void** info,
                               void** bits, SusieProgress progress, long data);
}

class TSPlugin
{
public:
    static constexpr int HeadSize = 2176;
    static constexpr int NoPlugin = 200;
    // A plug-in that reports success with blocks too small or a header that
    // makes no sense gets this code (Susie's "data broken").
    static constexpr int BrokenData = 3;
    static constexpr qint64 MaxPixels = qint64(1) << 28;

    TSPlugin();
    ~TSPlugin();
    TSPlugin(const TSPlugin&) = delete;
    TSPlugin& operator=(const TSPlugin&) = delete;

    bool Preview() const { return m_preview; }
    void setPreview(bool preview) { m_preview = preview; }

    // Loads a plug-in library; false (and nothing added) when it cannot be
    // loaded or lacks IsSupported or GetPicture.
    bool addPlugin(const QString& libraryPath);
    int count() const { return int(m_entries.size()); }

    // Index of the last plug-in that accepts the file, or -1.
    int FindPlugin(const QString& fileName) const;
    // 0 and bitmap set (24-bit) on success; else the last failing plug-in's
    // code, or NoPlugin when none accepted the file. bitmap is unchanged then.
    int LoadBitmap(const QString& fileName, QImage& bitmap);

private:
    struct Entry
    {
        QString name;
        void* library = nullptr;
        SusieIsSupported isSupported = nullptr;
        SusieGetPicture getPicture = nullptr;
        SusieGetPicture getPreview = nullptr;
        unsigned char preview = 0;
    };
    bool accepts(const Entry& e, const QString& fileName) const;
    int load(Entry& e, const QString& fileName, QImage& bitmap);

    bool m_preview = false;
    std::vector<Entry> m_entries;
};

// Converts a DIB (header and colour table in info, rows in bits, each block
// of the given usable size) to a 24-bit picture; null when it is malformed.
QImage dibToImage(const void* info, size_t infoSize, const void* bits, size_t bitsSize);
