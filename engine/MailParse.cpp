// GMime (through glib) comes before any Qt header.
#include <gmime/gmime.h>

#include "engine/MailParse.h"

#include <climits>
#include <memory>
#include <mutex>

namespace {

void gmimeOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

template <typename T> struct GUnref
{
    void operator()(T* p) const
    {
        if (p) g_object_unref(p);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GUnref<T>>;

QString takeGString(char* text)
{
    const QString s = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return s;
}

void collectPart(GMimeObject* /*parent*/, GMimeObject* part, gpointer data)
{
    auto* parts = static_cast<sq::mail::MailParts*>(data);
    if (!GMIME_IS_PART(part)) return;
    GMimePart* mimePart = GMIME_PART(part);
    GMimeContentType* type = g_mime_object_get_content_type(part);
    if (GMIME_IS_TEXT_PART(part) && !g_mime_part_is_attachment(mimePart)) {
        QString* slot = nullptr;
        if (g_mime_content_type_is_type(type, "text", "html"))
            slot = &parts->html;
        else if (g_mime_content_type_is_type(type, "text", "plain"))
            slot = &parts->plain;
        if (slot && slot->isEmpty())
            *slot = takeGString(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
        return;
    }
    const char* id = g_mime_object_get_content_id(part);
    GMimeDataWrapper* content = g_mime_part_get_content(mimePart);
    if (!id || !content || !g_mime_content_type_is_type(type, "image", "*")) return;
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, stream.get()) < 0) return;
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    if (array && array->len > 0 && array->len < guint(INT_MAX))
        parts->pictures.append(
            {QString::fromUtf8(id),
             QByteArray(reinterpret_cast<const char*>(array->data), int(array->len))});
}

} // namespace

namespace sq::mail {

bool parseMail(const QByteArray& bytes, MailParts* parts)
{
    gmimeOnce();
    GPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message) return false;
    parts->subject = QString::fromUtf8(g_mime_message_get_subject(message.get()));
    if (InternetAddressList* list = g_mime_message_get_from(message.get()))
        parts->from = takeGString(internet_address_list_to_string(list, nullptr, FALSE));
    if (GDateTime* when = g_mime_message_get_date(message.get())) {
        parts->hasDate = true;
        parts->dateSecs = g_date_time_to_unix(when);
        parts->utcOffset = int(g_date_time_get_utc_offset(when) / G_TIME_SPAN_SECOND);
    }
    g_mime_message_foreach(message.get(), collectPart, parts);
    return true;
}

} // namespace sq::mail
