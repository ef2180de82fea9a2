// A mail message taken apart by GMime: its subject, sender and date, its
// first HTML and plain-text bodies and the inline pictures named by
// Content-ID. Pure function over bytes, any thread.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace sq::mail {

struct MailParts
{
    QString subject;
    QString from;
    bool hasDate = false;
    qint64 dateSecs = 0; // seconds since the epoch
    int utcOffset = 0;   // the sender's offset from UTC, in seconds
    QString html;
    QString plain;
    // Inline pictures named by Content-ID, for cid: references of the HTML,
    // still encoded: the document decodes those the page shows.
    QList<std::pair<QString, QByteArray>> pictures;
};

// False when the bytes hold no message at all.
bool parseMail(const QByteArray& bytes, MailParts* parts);

} // namespace sq::mail
