#include "net/http_response_parser.h"

#include <QList>
#include <algorithm>
#include <utility>

namespace {

// Digits only: a sign, spaces inside or an overflow make the length unusable.
qint64 parseLength(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

HttpResponseParser::HttpResponseParser(qint64 maximumBodySize)
    : m_maximumBodySize(maximumBodySize)
{ }

HttpResponseParser::State HttpResponseParser::fail(State state)
{
    m_step = Step::Done;
    m_body.clear();
    return m_state = state;
}

// A whole line without its CRLF (a bare LF is taken too); false while it is unfinished.
bool HttpResponseParser::takeLine(QByteArrayView& data, QByteArray& line)
{
    const qsizetype end = data.indexOf('\n');
    const QByteArrayView piece = end < 0 ? data : data.first(end);
    m_headerBytes += piece.size() + 1;
    if (m_headerBytes > maximumHeaderSize) {
        fail(State::Invalid);
        return false;
    }
    m_line += piece;
    data = end < 0 ? QByteArrayView() : data.sliced(end + 1);
    if (end < 0)
        return false;
    line = std::exchange(m_line, {});
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

HttpResponseParser::State HttpResponseParser::feed(QByteArrayView data)
{
    if (!data.isEmpty())
        m_started = true;
    QByteArray line;
    while (!data.isEmpty() && m_state == State::Incomplete) {
        switch (m_step) {
        case Step::StatusLine:
        case Step::Header:
        case Step::ChunkSize:
        case Step::ChunkEnd:
        case Step::Trailer: {
            if (!takeLine(data, line))
                break;
            if (!takeLineAt(line))
                return fail(State::Invalid);
            break;
        }
        case Step::Body:
        case Step::ChunkData: {
            const qsizetype n
                = m_remaining < 0 ? data.size() : qsizetype(std::min<qint64>(m_remaining, data.size()));
            if (!appendBody(data.first(n)))
                return m_state;
            data = data.sliced(n);
            if (m_remaining > 0)
                m_remaining -= n;
            if (m_remaining == 0)
                m_step = m_step == Step::Body ? Step::Done : Step::ChunkEnd;
            break;
        }
        case Step::Done:
            data = {};
            break;
        }
        if (m_step == Step::Done && m_state == State::Incomplete)
            m_state = State::Complete;
    }
    if (m_step == Step::Done && m_state == State::Incomplete)
        m_state = State::Complete;
    return m_state;
}

HttpResponseParser::State HttpResponseParser::finish()
{
    if (m_state == State::Incomplete && m_step == Step::Body && m_remaining < 0) {
        m_step = Step::Done;
        m_state = State::Complete;
    }
    return m_state;
}

bool HttpResponseParser::takeLineAt(const QByteArray& line)
{
    switch (m_step) {
    case Step::StatusLine:
        return statusLine(line);
    case Step::Header:
        return line.isEmpty() ? headersEnded() : header(line);
    case Step::ChunkSize:
        return chunkSize(line);
    case Step::ChunkEnd: // the CRLF after a chunk's data
        m_step = Step::ChunkSize;
        return line.isEmpty();
    case Step::Trailer: // trailer fields are of no use to us
        if (line.isEmpty())
            m_step = Step::Done;
        return true;
    default:
        return false;
    }
}

bool HttpResponseParser::statusLine(const QByteArray& line)
{
    // "HTTP/1.1 200 OK"; the reason may be empty or missing.
    if (!line.startsWith("HTTP/1.") || line.size() < 12 || line[8] != ' ')
        return false;
    const qint64 code = parseLength(QByteArrayView(line).sliced(9, 3));
    if (code < 100 || code > 599 || (line.size() > 12 && line[12] != ' '))
        return false;
    m_status = int(code);
    m_contentLength = -1;
    m_chunked = false;
    m_step = Step::Header;
    return true;
}

bool HttpResponseParser::header(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return line.startsWith(' ') || line.startsWith('\t'); // a folded continuation, ignored
    const QByteArray name = line.first(colon).trimmed().toLower();
    const QByteArray value = line.sliced(colon + 1).trimmed();
    if (name == "content-length") {
        const qint64 length = parseLength(value);
        // Two different lengths leave the body's end unknown.
        if (length < 0 || (m_contentLength >= 0 && length != m_contentLength))
            return false;
        m_contentLength = length;
    } else if (name == "transfer-encoding") {
        m_chunked = value.toLower().split(',').last().trimmed() == "chunked";
    }
    return true;
}

bool HttpResponseParser::headersEnded()
{
    if (m_status < 200) { // interim: the final answer follows
        m_step = Step::StatusLine;
        return m_status != 101;
    }
    m_headersDone = true;
    m_headerBytes = 0; // from here on, the limit holds for each chunk's line
    if (m_status == 204 || m_status == 304) {
        m_step = Step::Done;
    } else if (m_chunked) {
        m_step = Step::ChunkSize;
    } else if (m_contentLength >= 0) {
        if (m_contentLength > m_maximumBodySize) {
            fail(State::TooLarge);
            return true;
        }
        m_remaining = m_contentLength;
        m_step = m_remaining == 0 ? Step::Done : Step::Body;
    } else {
        m_remaining = -1; // up to the end of the connection
        m_step = Step::Body;
    }
    return true;
}

bool HttpResponseParser::chunkSize(const QByteArray& line)
{
    m_headerBytes = 0;
    const qsizetype extension = line.indexOf(';');
    const QByteArray digits = (extension < 0 ? line : line.first(extension)).trimmed();
    if (digits.isEmpty() || digits.size() > 15)
        return false;
    qint64 size = 0;
    for (const char c : digits) {
        const int digit = c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'             ? c - 'a' + 10
            : c >= 'A' && c <= 'F'             ? c - 'A' + 10
                                               : -1;
        if (digit < 0)
            return false;
        size = size * 16 + digit;
    }
    if (m_body.size() + size > m_maximumBodySize) {
        fail(State::TooLarge);
        return true;
    }
    m_remaining = size;
    m_step = size == 0 ? Step::Trailer : Step::ChunkData;
    return true;
}

bool HttpResponseParser::appendBody(QByteArrayView bytes)
{
    if (m_body.size() + bytes.size() > m_maximumBodySize) {
        fail(State::TooLarge);
        return false;
    }
    m_body += bytes;
    return true;
}
