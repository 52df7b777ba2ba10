#ifdef __linux__

#include "service/web/NativeSocket.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace registrator::web {

qint64 UnacknowledgedBytes(qintptr descriptor) {
    int bytes = 0;
    if (descriptor < 0 || ::ioctl(static_cast<int>(descriptor), SIOCOUTQ, &bytes) != 0)
        return 0;
    return bytes;
}

void ResetOnClose(qintptr descriptor) {
    const linger immediately{1, 0};
    if (descriptor >= 0)
        ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_LINGER, &immediately, sizeof immediately);
}

void StopSending(qintptr descriptor) {
    if (descriptor >= 0)
        ::shutdown(static_cast<int>(descriptor), SHUT_WR);
}

} // namespace registrator::web

#endif
