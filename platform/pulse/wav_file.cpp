#include "platform/pulse/wav_file.h"

#include <QtEndian>
#include <cstring>

QByteArray WavFormat::file(const QByteArray& pcm)
{
    const quint32 dataSize = quint32(std::min<qint64>(pcm.size(), kMaxDataSize) & ~qint64(1));
    QByteArray wav(kHeaderSize, Qt::Uninitialized);
    char* h = wav.data();
    constexpr int blockAlign = kChannels * kBitsPerSample / 8;
    std::memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + dataSize, h + 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20); // PCM
    qToLittleEndian<quint16>(kChannels, h + 22);
    qToLittleEndian<quint32>(kSampleRate, h + 24);
    qToLittleEndian<quint32>(kSampleRate * blockAlign, h + 28);
    qToLittleEndian<quint16>(blockAlign, h + 32);
    qToLittleEndian<quint16>(kBitsPerSample, h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(dataSize, h + 40);
    wav.append(pcm.constData(), dataSize);
    return wav;
}
