#include "app/dictation/paste_mime_data.h"

#include <QTimer>

QStringList PasteMimeData::formats() const
{
    if (m_onAsked)
        m_onAsked();
    return QMimeData::formats();
}

QVariant PasteMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (m_onAsked)
        m_onAsked();
    if (auto onRead = std::exchange(m_onRead, {})) {
        // Not from inside the clipboard's answer to the reader: it may replace this object.
        QTimer::singleShot(0, this, std::move(onRead));
    }
    return QMimeData::retrieveData(mimeType, type);
}
