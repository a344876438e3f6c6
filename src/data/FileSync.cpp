#include "data/FileSync.h"

#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velmora::data {

Status syncFile(QFile& file) {
    const int fd = file.handle();
    if (fd < 0)
        return Status::failure(qt_error_string(EBADF));
#ifdef Q_OS_WIN
    if (::_commit(fd) != 0)
        return Status::failure(qt_error_string(errno));
#else
    int result = 0;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return Status::failure(qt_error_string(errno));
#endif
    return {};
}

} // namespace velmora::data
