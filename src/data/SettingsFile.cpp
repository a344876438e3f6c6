#include "data/SettingsFile.h"

#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"

namespace velmora::data {
namespace {

bool readsBackBare(QByteArrayView value) {
    if (value.isEmpty())
        return true;
    if (value.front() == ' ' || value.front() == '"')
        return false;
    for (char c : value) {
        if (c == ',' || c == '\r' || c == '\n')
            return false;
    }
    return true;
}

} // namespace

QByteArray settingsValueText(QByteArrayView value) {
    QByteArray text = value.toByteArray();
    text.replace('\r', ' ').replace('\n', ' ');
    if (readsBackBare(text))
        return text;
    if (text.contains('"'))
        text.replace("\"", "''");
    if (readsBackBare(text))
        return text;
    return '"' + text + '"';
}

QByteArray settingsFileText(const OrdererSettings& settings) {
    QByteArray out;
    for (const QByteArray* value : {&settings.orderer, &settings.telephone, &settings.handledFor}) {
        out += settingsValueText(*value);
        out += "\r\n";
    }
    out += "   \r\n";
    return out;
}

Result<OrdererSettings> readSettings(const DataDir& dir) {
    Result<QByteArray> bytes = readFile(dir.file(files::kSettings));
    if (!bytes)
        return Result<OrdererSettings>::failure(bytes.error());
    FieldReader reader(std::move(bytes).value());
    OrdererSettings settings;
    for (QByteArray* value : {&settings.orderer, &settings.telephone, &settings.handledFor}) {
        if (reader.atEnd())
            break;
        *value = reader.next();
    }
    return settings;
}

Status writeSettings(const DataDir& dir, const OrdererSettings& settings) {
    return writeFileAtomic(dir.file(files::kSettings), settingsFileText(settings));
}

} // namespace velmora::data
