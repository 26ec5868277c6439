#include "platform/pulse/wav_writer.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {
// RIFF sizes are 32-bit: stop growing before they would wrap (about 37 hours of audio).
constexpr qint64 kMaxDataSize = std::numeric_limits<quint32>::max() - WavWriter::kHeaderSize;

void put32(char* at, quint32 v)
{
    qToLittleEndian(v, at);
}
void put16(char* at, quint16 v)
{
    qToLittleEndian(v, at);
}
} // namespace

bool WavWriter::open(const QString& path, QString* error)
{
    file_.close();
    file_.setFileName(path);
    dataSize_ = 0;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) || !writeHeader(0)) {
        if (error)
            *error = QStringLiteral("无法写入录音文件 %1：%2").arg(path, file_.errorString());
        file_.close();
        return false;
    }
    return true;
}

bool WavWriter::writeHeader(quint32 dataSize)
{
    std::array<char, kHeaderSize> h {};
    constexpr int blockAlign = kChannels * kBitsPerSample / 8;
    std::memcpy(h.data(), "RIFF", 4);
    put32(h.data() + 4, 36 + dataSize);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(h.data() + 16, 16);
    put16(h.data() + 20, 1); // PCM
    put16(h.data() + 22, kChannels);
    put32(h.data() + 24, kSampleRate);
    put32(h.data() + 28, kSampleRate * blockAlign);
    put16(h.data() + 32, blockAlign);
    put16(h.data() + 34, kBitsPerSample);
    std::memcpy(h.data() + 36, "data", 4);
    put32(h.data() + 40, dataSize);
    return file_.seek(0) && file_.write(h.data(), kHeaderSize) == kHeaderSize;
}

bool WavWriter::append(const char* data, qint64 size)
{
    if (!file_.isOpen())
        return false;
    size = std::min(size, kMaxDataSize - dataSize_);
    if (size <= 0)
        return false;
    const qint64 written = file_.write(data, size);
    if (written > 0)
        dataSize_ += written;
    return written == size;
}

bool WavWriter::finish()
{
    if (!file_.isOpen())
        return false;
    if (dataSize_ % 2) { // a torn last sample (short write): keep whole samples only
        --dataSize_;
        file_.resize(kHeaderSize + dataSize_);
    }
    const bool ok = writeHeader(quint32(dataSize_));
    file_.close();
    return ok;
}
