#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Reads one HTTP/1.1 response from a byte stream fed in pieces of any size: the status
// line, the headers, and a body framed by Content-Length, by chunks, or by the end of the
// connection. Interim 1xx answers are skipped. A body beyond the limit is refused rather
// than buffered.
class HttpResponseParser {
public:
    enum class State { Incomplete, Complete, Invalid, TooLarge };

    explicit HttpResponseParser(qint64 maximumBodySize);

    // Takes the next bytes; bytes past a complete response are ignored.
    State feed(QByteArrayView data);
    // The connection has ended: completes a body that runs to the end of the connection.
    State finish();

    State state() const { return m_state; }
    // Any byte of an answer arrived.
    bool started() const { return m_started; }
    // The final status, once its headers are in; 0 before.
    int status() const { return m_headersDone ? m_status : 0; }
    const QByteArray& body() const { return m_body; }

    // A header block longer than this is not an answer to us.
    static constexpr qsizetype maximumHeaderSize = 64 * 1024;

private:
    enum class Step { StatusLine, Header, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };

    bool takeLine(QByteArrayView& data, QByteArray& line);
    bool takeLineAt(const QByteArray& line);
    bool statusLine(const QByteArray& line);
    bool header(const QByteArray& line);
    bool headersEnded();
    bool chunkSize(const QByteArray& line);
    bool appendBody(QByteArrayView bytes);
    State fail(State state);

    qint64 m_maximumBodySize;
    State m_state = State::Incomplete;
    Step m_step = Step::StatusLine;
    bool m_started = false;
    bool m_headersDone = false;
    int m_status = 0;
    qint64 m_contentLength = -1;
    bool m_chunked = false;
    qint64 m_remaining = 0; // of the Content-Length body or of the current chunk
    qsizetype m_headerBytes = 0;
    QByteArray m_line; // a line not yet ended
    QByteArray m_body;
};
