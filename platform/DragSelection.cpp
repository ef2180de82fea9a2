#include "platform/DragSelection.h"
#include "platform/XAtom.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QMimeData>
#include <QPointer>
#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace sq::platform {

namespace {

const QByteArray kPlain = QByteArrayLiteral("text/plain");
const QByteArray kTextTargets[] = {QByteArrayLiteral("UTF8_STRING"), QByteArrayLiteral("STRING"),
                                   QByteArrayLiteral("TEXT"),
                                   QByteArrayLiteral("text/plain;charset=utf-8")};

const QByteArray* formatData(const DragFormats& formats, const QByteArray& name)
{
    for (const auto& f : formats)
        if (f.first == name) return &f.second;
    return nullptr;
}

// Latin-1 of UTF-8 text; none where a character has no Latin-1 form.
std::optional<QByteArray> latin1Of(const QByteArray& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    for (QChar c : text)
        if (c.unicode() > 0xff) return std::nullopt;
    return text.toLatin1();
}

} // namespace

QList<QByteArray> dragTargetsOf(const DragFormats& formats)
{
    QList<QByteArray> targets;
    for (const auto& f : formats) targets << f.first;
    if (const QByteArray* text = formatData(formats, kPlain)) {
        const bool latin1 = latin1Of(*text).has_value();
        for (const QByteArray& t : kTextTargets)
            if (!targets.contains(t) && (latin1 || t != "STRING")) targets << t;
    }
    return targets;
}

std::optional<DragAnswer> dragDataFor(const DragFormats& formats, const QByteArray& target)
{
    if (const QByteArray* d = formatData(formats, target)) return DragAnswer{target, *d};
    const QByteArray* text = formatData(formats, kPlain);
    if (!text) return std::nullopt;
    if (target == "UTF8_STRING" || target == "text/plain;charset=utf-8")
        return DragAnswer{target, *text};
    if (target == "STRING" || target == "TEXT") {
        if (std::optional<QByteArray> l = latin1Of(*text))
            return DragAnswer{QByteArrayLiteral("STRING"), *l};
        if (target == "TEXT") return DragAnswer{QByteArrayLiteral("UTF8_STRING"), *text};
    }
    return std::nullopt;
}

namespace {

// Answers the requests for XdndSelection from the held data. Requests for
// targets it has no data for (and MULTIPLE) are left to Qt.
class DragSelectionServer : public QObject, public QAbstractNativeEventFilter
{
public:
    DragSelectionServer(xcb_connection_t* c, QObject* parent) : QObject(parent), m_c(c)
    {
        m_selection = atom("XdndSelection");
        m_targets = atom("TARGETS");
        // The largest property one request can write, header left aside.
        m_maxBytes = std::size_t(xcb_get_maximum_request_length(c)) * 4 - 64;
    }

    void hold(DragFormats formats) { m_formats = std::move(formats); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t") return false;
        auto* ev = static_cast<xcb_generic_event_t*>(message);
        if ((ev->response_type & 0x7f) != XCB_SELECTION_REQUEST) return false;
        const auto* req = reinterpret_cast<const xcb_selection_request_event_t*>(ev);
        if (req->selection != m_selection || m_formats.isEmpty()) return false;
        // Old clients name no property: the target is the property then.
        const xcb_atom_t property = req->property ? req->property : req->target;
        if (req->target == m_targets) {
            std::vector<xcb_atom_t> atoms{m_targets};
            for (const QByteArray& t : dragTargetsOf(m_formats)) atoms.push_back(atom(t));
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, req->requestor, property,
                                XCB_ATOM_ATOM, 32, uint32_t(atoms.size()), atoms.data());
        } else {
            const std::optional<DragAnswer> a = dragDataFor(m_formats, nameOf(req->target));
            if (!a || std::size_t(a->bytes.size()) > m_maxBytes) return false;
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, req->requestor, property,
                                atom(a->type), 8, uint32_t(a->bytes.size()),
                                a->bytes.constData());
        }
        notify(req, property);
        return true;
    }

private:
    void notify(const xcb_selection_request_event_t* req, xcb_atom_t property)
    {
        xcb_selection_notify_event_t n{};
        n.response_type = XCB_SELECTION_NOTIFY;
        n.time = req->time;
        n.requestor = req->requestor;
        n.selection = req->selection;
        n.target = req->target;
        n.property = property;
        xcb_send_event(m_c, false, req->requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&n));
        xcb_flush(m_c);
    }

    xcb_atom_t atom(const QByteArray& name)
    {
        if (auto it = m_atoms.constFind(name); it != m_atoms.cend()) return *it;
        const xcb_atom_t a = internAtom(m_c, name.constData());
        m_atoms.insert(name, a);
        if (a != XCB_ATOM_NONE) m_names.insert(a, name);
        return a;
    }

    QByteArray nameOf(xcb_atom_t a)
    {
        if (auto it = m_names.constFind(a); it != m_names.cend()) return *it;
        QByteArray name;
        xcb_get_atom_name_reply_t* r =
            xcb_get_atom_name_reply(m_c, xcb_get_atom_name(m_c, a), nullptr);
        if (r) name = QByteArray(xcb_get_atom_name_name(r), xcb_get_atom_name_name_length(r));
        std::free(r);
        m_names.insert(a, name);
        return name;
    }

    xcb_connection_t* m_c;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    xcb_atom_t m_targets = XCB_ATOM_NONE;
    std::size_t m_maxBytes = 0;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QHash<xcb_atom_t, QByteArray> m_names;
    DragFormats m_formats;
};

// The server of the running application, made with the first drag; it ends
// with the application.
DragSelectionServer* server()
{
    static QPointer<DragSelectionServer> s;
    if (s) return s;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return nullptr;
    s = new DragSelectionServer(x11->connection(), app);
    app->installNativeEventFilter(s);
    return s;
}

} // namespace

void serveDragData(const QMimeData& data)
{
    DragSelectionServer* s = server();
    if (!s) return;
    DragFormats formats;
    for (const QString& f : data.formats()) formats.append({f.toUtf8(), data.data(f)});
    s->hold(std::move(formats));
}

} // namespace sq::platform
