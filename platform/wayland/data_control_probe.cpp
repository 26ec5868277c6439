#include "platform/wayland/data_control_probe.h"

#include "platform/platform_log.h"

#include <QtEndian>
#include <array>

namespace {

// Objects and opcodes of the core protocol's requests and events used here.
constexpr quint32 kDisplay = 1, kRegistry = 2, kSyncCallback = 3;
constexpr quint16 kGetRegistry = 1, kSync = 0, kGlobalEvent = 0, kDoneEvent = 0, kErrorEvent = 0;

QByteArray request(quint32 object, quint16 opcode, quint32 newId)
{
    std::array<quint32, 3> words {object, (12u << 16) | opcode, newId};
    for (quint32& word : words)
        word = qToLittleEndian(word);
    return QByteArray(reinterpret_cast<const char*>(words.data()), sizeof words);
}

quint32 word(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

} // namespace

QString DataControlProbe::socketPath(const QString& waylandDisplay, const QString& runtimeDirectory)
{
    const QString name = waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : waylandDisplay;
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return runtimeDirectory.isEmpty() ? QString() : runtimeDirectory + QLatin1Char('/') + name;
}

void DataControlProbe::start(const QString& socketPath)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { finish(false); });
    connect(&m_socket, &QLocalSocket::connected, this, [this] {
        m_socket.write(request(kDisplay, kGetRegistry, kRegistry) + request(kDisplay, kSync, kSyncCallback));
    });
    connect(&m_socket, &QLocalSocket::readyRead, this, &DataControlProbe::readMessages);
    connect(&m_socket, &QLocalSocket::errorOccurred, this, [this] { finish(false); });
    m_timeout.start(timeoutMs);
    if (socketPath.isEmpty())
        QTimer::singleShot(0, this, [this] { finish(false); });
    else
        m_socket.connectToServer(socketPath);
}

void DataControlProbe::readMessages()
{
    m_buffer += m_socket.readAll();
    while (m_buffer.size() >= 8 && !m_finished) {
        const quint32 object = word(m_buffer, 0);
        const quint32 sizeAndOpcode = word(m_buffer, 4);
        const qsizetype size = sizeAndOpcode >> 16;
        const quint16 opcode = sizeAndOpcode & 0xffff;
        if (size < 8) {
            finish(false);
            return;
        }
        if (m_buffer.size() < size)
            return;
        const QByteArray message = m_buffer.left(size);
        m_buffer.remove(0, size);
        if (object == kRegistry && opcode == kGlobalEvent && size >= 16) {
            // global(name, interface, version); the string's length counts its NUL.
            const qsizetype length = word(message, 12);
            const QByteArray interface = length > 0 && 16 + length <= size ? message.mid(16, length - 1)
                                                                           : QByteArray();
            if (interface == "zwlr_data_control_manager_v1" || interface == "ext_data_control_manager_v1")
                m_offered = true;
        } else if (object == kSyncCallback && opcode == kDoneEvent) {
            finish(m_offered);
        } else if (object == kDisplay && opcode == kErrorEvent) {
            finish(false);
        }
    }
}

void DataControlProbe::finish(bool offered)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timeout.stop();
    m_socket.abort();
    qCInfo(lcPlatform) << "data-control protocol offered:" << offered;
    Q_EMIT finished(offered);
}
