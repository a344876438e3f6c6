#include "startup/DirectoryDownload.h"

#include "data/DataFiles.h"
#include "data/FieldReader.h"
#include "data/FileIo.h"

namespace velmora::startup {

QByteArray startRequestPath(StartRequest request, Server server) {
    switch (request) {
    case StartRequest::StartPage:
        return QByteArrayLiteral("/in1.html");
    case StartRequest::SecondAddress:
        return QByteArrayLiteral("/in3.html");
    case StartRequest::Directory:
        return server == Server::Primary ? QByteArrayLiteral("/cgi-bin/ruf.html")
                                         : QByteArrayLiteral("/ruf.html");
    }
    return {};
}

std::optional<QByteArray> startRequestPath(StartRequest request, QStringView selectorText) {
    const std::optional<Server> server = selectedServer(selectorText);
    if (!server)
        return std::nullopt;
    return startRequestPath(request, *server);
}

bool isAnswer(QByteArrayView reply) {
    return reply.size() >= kShortestAnswer;
}

std::optional<QByteArray> addressFromReply(QByteArrayView reply) {
    QByteArray address;
    bool found = false;
    const qsizetype com = reply.indexOf(QByteArrayView(".com"));
    if (com >= 0) {
        address = reply.first(com + 4).toByteArray();
        found = true;
    }
    const qsizetype hashes = reply.indexOf(QByteArrayView("#/#/#"));
    if (hashes >= 0) {
        address = reply.first(hashes).toByteArray();
        found = true;
    }
    if (!found || address.isEmpty())
        return std::nullopt;
    return address;
}

QByteArray addressFileContent(QByteArrayView address) {
    QByteArray content = address.toByteArray();
    content.append("\r\n***\r\n");
    return content;
}

Result<AddressUpdate> storeAddress(const data::DataDir& dir, const QString& fileName, QByteArrayView reply) {
    const std::optional<QByteArray> address = addressFromReply(reply);
    if (!address)
        return AddressUpdate::NoAddress;
    const Status written = data::writeFileAtomic(dir.file(fileName), addressFileContent(*address));
    if (!written)
        return Result<AddressUpdate>::failure(written.error());
    return AddressUpdate::Stored;
}

DirectoryFiles splitDirectory(const QByteArray& page) {
    DirectoryFiles files;
    data::FieldReader reader(page);
    while (!reader.atEnd()) {
        const QByteArray field = reader.next();
        if (field.contains("***"))
            break;
        const qsizetype kod = field.indexOf("kod");
        if (kod < 0)
            continue;
        // A quoted record may run over a line end; in the files each record is one line, or the
        // shop list and the details would fall out of step.
        QByteArray record = field;
        record.replace('\r', ' ').replace('\n', ' ');
        files.ruf25.append(record.left(kod + 6));
        files.ruf25.append("\r\n");
        files.ruf27.append(record.mid(kod));
        files.ruf27.append("\r\n");
        ++files.records;
    }
    return files;
}

Result<DirectoryUpdate> replaceDirectoryFiles(const data::DataDir& dir, const DirectoryFiles& files) {
    if (files.records == 0)
        return DirectoryUpdate::KeptPrevious;
    for (const auto& [name, bytes] :
         {std::pair{data::files::kShopDetails, &files.ruf27}, std::pair{data::files::kShops, &files.ruf25}}) {
        const Status written = data::writeFileAtomic(dir.file(name), *bytes);
        if (!written)
            return Result<DirectoryUpdate>::failure(written.error());
    }
    return DirectoryUpdate::Replaced;
}

Result<DirectoryUpdate> rebuildDirectory(const data::DataDir& dir) {
    const Result<QByteArray> page = data::readFile(dir.file(data::files::kDirectoryPage));
    if (!page)
        return Result<DirectoryUpdate>::failure(page.error());
    return replaceDirectoryFiles(dir, splitDirectory(*page));
}

} // namespace velmora::startup
