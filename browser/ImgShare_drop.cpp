// The names a dropped or pasted data object carries.
#include "browser/ImgShare.h"

#include "platform/FileClipboard.h"

#include <QMimeData>

namespace {
const QString kUriList = QStringLiteral("text/uri-list");
}

bool TFileDataObject::Offers(const QMimeData* data)
{
    return data && data->hasFormat(kUriList);
}

int TFileDataObject::FileCount()
{
    return static_cast<int>(FileNames().size());
}

const QStringList& TFileDataObject::FileNames()
{
    if (!m_read) {
        m_read = true;
        if (Offers(m_data)) m_names = sq::platform::filesOfUriList(m_data->data(kUriList));
    }
    return m_names;
}
