#include "service/web/RequestHead.h"

#include <QList>
#include <algorithm>
#include <string_view>

namespace registrator::web {

namespace {

constexpr HeadVerdict kBadRequest{400};

bool IsPlainTargetByte(char c) {
    // Printable ASCII without '%' and '\': no encoded or back-slashed path ever reaches a handler.
    return c > ' ' && c < 127 && c != '%' && c != '\\';
}

// What methods and header names are made of.
bool IsTokenByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsFieldValueByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte == '\t' || (byte >= 0x20 && byte != 0x7f);
}

bool AllOf(const QByteArray& bytes, qsizetype from, qsizetype to, bool (*test)(char)) {
    return std::all_of(bytes.begin() + from, bytes.begin() + to, test);
}

// The lines of a head without their line ends; a CR anywhere else makes the head malformed.
bool SplitLines(const QByteArray& head, QList<QByteArray>& lines) {
    for (QByteArray line : head.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\r'))
            return false;
        lines.append(line);
    }
    return true;
}

bool HasToken(const QByteArray& value, const char* token) {
    const QList<QByteArray> items = value.split(',');
    return std::any_of(items.begin(), items.end(), [token](const QByteArray& item) {
        return item.trimmed().compare(token, Qt::CaseInsensitive) == 0;
    });
}

HeadVerdict JudgeRequestLine(const QByteArray& line, RequestHead& parsed) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || parts[0].isEmpty() || !AllOf(parts[0], 0, parts[0].size(), IsTokenByte))
        return kBadRequest;
    if (parts[0] != "GET" && parts[0] != "HEAD")
        return {405};
    const QByteArray& target = parts[1];
    if (target.size() > kMaxTargetBytes)
        return {414};
    // Only the origin form: an absolute address would name another server.
    if (!target.startsWith('/') || !AllOf(target, 0, target.size(), IsPlainTargetByte))
        return kBadRequest;
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
        return kBadRequest;
    const qsizetype query = target.indexOf('?');
    parsed.HeadOnly = parts[0] == "HEAD";
    parsed.Path = query < 0 ? target : target.left(query);
    parsed.Query = query < 0 ? QByteArray() : target.mid(query + 1);
    parsed.Http10 = parts[2] == "HTTP/1.0";
    parsed.Close = parsed.Http10;
    return {};
}

HeadVerdict JudgeField(const QByteArray& line, RequestHead& parsed) {
    const qsizetype colon = line.indexOf(':');
    // White space before the colon, or a line folded onto the one before, would let a lenient proxy
    // in front of us read another header than we do.
    if (colon <= 0 || !AllOf(line, 0, colon, IsTokenByte) ||
        !AllOf(line, colon + 1, line.size(), IsFieldValueByte))
        return kBadRequest;
    const QByteArray name = line.left(colon).toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    // Nothing is ever read from a body; a request that brings one is not a plain read.
    if (name == "transfer-encoding" || (name == "content-length" && value != "0"))
        return kBadRequest;
    if (name == "connection" && HasToken(value, "close"))
        parsed.Close = true;
    if (name == "authorization") {
        // Two would leave it open which one a proxy in front of us checked.
        if (!parsed.Authorization.isNull())
            return kBadRequest;
        parsed.Authorization = value.isNull() ? QByteArray("") : value;
    }
    return {};
}

} // namespace

HeadEnd FindHeadEnd(const QByteArray& input) {
    for (qsizetype lf = input.indexOf('\n'); lf >= 0; lf = input.indexOf('\n', lf + 1)) {
        if (lf + 1 < input.size() && input[lf + 1] == '\n')
            return {lf, lf + 2};
        if (lf + 2 < input.size() && input[lf + 1] == '\r' && input[lf + 2] == '\n')
            return {lf, lf + 3};
    }
    return {};
}

HeadVerdict JudgeRequestHead(const QByteArray& head, RequestHead* parsed) {
    QList<QByteArray> lines;
    if (!SplitLines(head, lines))
        return kBadRequest;
    RequestHead request;
    HeadVerdict verdict = JudgeRequestLine(lines[0], request);
    for (qsizetype i = 1; i < lines.size() && verdict.Status == 0; ++i)
        verdict = JudgeField(lines[i], request);
    if (verdict.Status == 0 && head.size() > kMaxHeadBytes)
        verdict = {431};
    if (verdict.Status == 0 && parsed)
        *parsed = request;
    return verdict;
}

HeadVerdict JudgeUnfinishedHead(const QByteArray& input) {
    // Only whole lines are judged: a line cut short may still become a good one.
    const qsizetype lastLineEnd = input.lastIndexOf('\n');
    if (lastLineEnd >= 0) {
        const HeadVerdict verdict = JudgeRequestHead(input.left(lastLineEnd));
        if (verdict.Status != 0)
            return verdict;
    }
    if (input.size() <= kMaxHeadBytes)
        return {};
    return lastLineEnd < 0 ? HeadVerdict{414} : HeadVerdict{431};
}

qsizetype LeadingEmptyLines(const QByteArray& input) {
    qsizetype at = 0;
    while (true) {
        if (at < input.size() && input[at] == '\n')
            at += 1;
        else if (at + 1 < input.size() && input[at] == '\r' && input[at + 1] == '\n')
            at += 2;
        else
            return at;
    }
}

} // namespace registrator::web
