#include "app/dictation/one_shot_body.h"

#include <algorithm>
#include <cstring>

OneShotBody::OneShotBody(QByteArray data, QObject* parent)
    : QIODevice(parent)
    , m_data(std::move(data))
{
    open(QIODevice::ReadOnly);
}

bool OneShotBody::reset()
{
    return !m_started && QIODevice::reset();
}

bool OneShotBody::seek(qint64 pos)
{
    if (m_started && pos < this->pos())
        return false;
    return QIODevice::seek(pos);
}

qint64 OneShotBody::readData(char* data, qint64 maxSize)
{
    const qint64 at = pos();
    const qint64 n = std::min(maxSize, qint64(m_data.size()) - at);
    if (n <= 0)
        return n == 0 ? 0 : -1;
    m_started = true;
    std::memcpy(data, m_data.constData() + at, size_t(n));
    return n;
}
