#pragma once

#include <QtGlobal>

namespace registrator::web {

// What Qt does not say or do for a connected socket, from its descriptor.

// Bytes the system still holds for it, sent but not yet acknowledged or not yet sent: a client that
// has stopped reading shows once its own buffers are full, rather than only once ours are too. 0 where
// the system does not say.
qint64 UnacknowledgedBytes(qintptr descriptor);

// Makes the coming close a reset: what is queued for a client that does not read is dropped at once,
// instead of the system holding it, and the connection, for minutes more.
void ResetOnClose(qintptr descriptor);

// Sends the end of what this side says (a FIN) while what the client still sends can be read.
void StopSending(qintptr descriptor);

} // namespace registrator::web
