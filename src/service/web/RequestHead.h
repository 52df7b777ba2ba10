#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace registrator::web {

constexpr qsizetype kMaxHeadBytes = 8 * 1024; // one request's head, request line included
constexpr qsizetype kMaxTargetBytes = 2048;

// Whether a request head is one the web view will answer, and if not the status to refuse it with
// (400, 405, 414, 431). 0 when it may pass.
struct HeadVerdict {
    int Status = 0;
};

// What the web view takes from a head that passed.
struct RequestHead {
    bool HeadOnly = false; // HEAD: the answer without its body
    QByteArray Path;       // the target up to any query
    QByteArray Query;      // what follows the '?', if anything
    bool Http10 = false;
    bool Close = false;       // no further request on this connection (HTTP/1.0, or "Connection: close")
    QByteArray Authorization; // the Authorization header's value, for the log-in
};

// Where the first request head in `input` ends: the length of the head without its blank line, and the
// bytes it takes with it. Lines end in CRLF or in LF alone.
struct HeadEnd {
    qsizetype HeadLength = -1; // -1: not all of the head is in yet
    qsizetype Taken = 0;
};
HeadEnd FindHeadEnd(const QByteArray& input);

// Judges a whole head (without its blank line) strictly: GET and HEAD only, an origin-form target of
// plain bytes (no '%', no '\'), HTTP/1.0 or 1.1, header names that are tokens right up to their colon,
// and no body. `parsed` is filled when it passes.
HeadVerdict JudgeRequestHead(const QByteArray& head, RequestHead* parsed = nullptr);

// Judges what has come of a head not yet complete: its whole lines as above, and its size.
HeadVerdict JudgeUnfinishedHead(const QByteArray& input);

// Empty lines before a request line are ignored, as a client may send one after a previous request.
qsizetype LeadingEmptyLines(const QByteArray& input);

} // namespace registrator::web
