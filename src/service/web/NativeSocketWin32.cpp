#ifdef _WIN32

#include "service/web/NativeSocket.h"

#include <winsock2.h>

namespace registrator::web {

// Winsock says nothing of it before Windows 10; a client that stops reading shows once Qt's buffer grows.
qint64 UnacknowledgedBytes(qintptr) {
    return 0;
}

void ResetOnClose(qintptr descriptor) {
    const linger immediately{1, 0};
    if (descriptor >= 0)
        ::setsockopt(static_cast<SOCKET>(descriptor), SOL_SOCKET, SO_LINGER,
                     reinterpret_cast<const char*>(&immediately), sizeof immediately);
}

void StopSending(qintptr descriptor) {
    if (descriptor >= 0)
        ::shutdown(static_cast<SOCKET>(descriptor), SD_SEND);
}

} // namespace registrator::web

#endif
