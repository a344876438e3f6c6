#include "data/ServerAddress.h"

#include <QUrl>

namespace velmora::data {
namespace {

Result<QString> refused(const QString& why) {
    return Result<QString>::failure(why);
}

bool isPort(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    const int port = text.toInt();
    return port >= 1 && port <= 65535;
}

} // namespace

Result<QString> serverBaseUrl(const QString& written) {
    const QString text = written.trimmed();
    if (text.isEmpty())
        return refused(QStringLiteral(u"הכתובת ריקה"));

    QString scheme = QStringLiteral("http");
    QString rest = text;
    if (const qsizetype separator = text.indexOf(u"://"); separator >= 0) {
        scheme = text.left(separator).toLower();
        if (scheme != u"http" && scheme != u"https")
            return refused(QStringLiteral(u"הכתובת מתחילה ב-\"%1://\"; אפשר לרשום רק http:// או https://")
                               .arg(text.left(separator)));
        rest = text.mid(separator + 3);
    }

    qsizetype authorityEnd = rest.size();
    for (const QChar stop : {u'/', u'?', u'#'}) {
        if (const qsizetype at = rest.indexOf(stop); at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    const QString authority = rest.left(authorityEnd);
    const QString tail = rest.mid(authorityEnd);
    if (tail.contains(u'?') || tail.contains(u'#'))
        return refused(QStringLiteral(u"לכתובת של שרת אין חלק של שאילתה (?) או של עוגן (#)"));
    if (authority.isEmpty())
        return refused(QStringLiteral(u"חסר שם השרת"));
    if (authority.contains(u'@'))
        return refused(QStringLiteral(u"שם משתמש וסיסמה אינם נרשמים בכתובת השרת"));
    for (const QChar c : authority) {
        if (c.isSpace())
            return refused(QStringLiteral(u"יש רווח בשם השרת"));
    }

    QString host = authority;
    QString port;
    bool hasPort = false;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return refused(QStringLiteral(u"חסר הסוגר ] בסוף כתובת ה-IPv6"));
        host = authority.left(close + 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':'))
                return refused(
                    QStringLiteral(u"אחרי כתובת ה-IPv6 בסוגריים יכולים לבוא רק נקודתיים ומספר פתחה"));
            port = after.mid(1);
            hasPort = true;
        }
        if (host.size() <= 2)
            return refused(QStringLiteral(u"חסרה כתובת בתוך הסוגריים"));
    } else if (authority.count(u':') > 1) {
        return refused(QStringLiteral(u"כתובת IPv6 נרשמת בסוגריים מרובעים, למשל [::1]:8081"));
    } else if (const qsizetype colon = authority.indexOf(u':'); colon >= 0) {
        host = authority.left(colon);
        port = authority.mid(colon + 1);
        hasPort = true;
    }
    if (host.isEmpty())
        return refused(QStringLiteral(u"חסר שם השרת"));
    if (hasPort && !isPort(port))
        return refused(QStringLiteral(u"מספר הפתחה \"%1\" אינו מספר בין 1 ל-65535").arg(port));

    QUrl url(scheme + QStringLiteral("://") + authority + tail, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return refused(QStringLiteral(u"\"%1\" אינו שם של שרת").arg(host));
    QString path = url.path(QUrl::FullyEncoded);
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path, QUrl::StrictMode);
    if (!url.isValid())
        return refused(QStringLiteral(u"\"%1\" אינו נתיב תקין").arg(tail));
    return url.toString(QUrl::FullyEncoded);
}

} // namespace velmora::data
