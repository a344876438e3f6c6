#include "startup/ServerFailover.h"

namespace velmora::startup {

Server otherServer(Server server) {
    return server == Server::Primary ? Server::Fallback : Server::Primary;
}

QString selectorFor(Server server) {
    return server == Server::Primary ? QStringLiteral("1") : QStringLiteral("2");
}

bool gotNoAnswer(bool ok, int httpStatus) {
    return !ok && httpStatus == 0;
}

bool gotNoAnswer(const platform::FetchResult& result) {
    return gotNoAnswer(result.ok, result.httpStatus);
}

platform::FetchResult noSuchServer(Server server) {
    platform::FetchResult result;
    result.errorText = server == Server::Primary
                           ? QStringLiteral(u"לא הוגדר שרת ראשי (servers/primary בקובץ ההגדרות).")
                           : QStringLiteral(u"לא הוגדר שרת גיבוי (servers/fallback בקובץ ההגדרות).");
    return result;
}

QString serverInUseText(Server server, const QString& base) {
    const QString name =
        server == Server::Primary ? QStringLiteral(u"השרת הראשי") : QStringLiteral(u"שרת הגיבוי");
    return QStringLiteral(u"%1 בשימוש: %2").arg(name, base);
}

} // namespace velmora::startup
