#pragma once

#include <QByteArray>

// The 16 kHz mono 16-bit PCM WAV format of the recordings.
namespace WavFormat {
inline constexpr int kSampleRate = 16000;
inline constexpr int kChannels = 1;
inline constexpr int kBitsPerSample = 16;
inline constexpr int kHeaderSize = 44;
inline constexpr int kBytesPerSecond = kSampleRate * kChannels * kBitsPerSample / 8;
// RIFF sizes are 32-bit: audio beyond this (about 37 hours) is not kept.
inline constexpr qint64 kMaxDataSize = 0xFFFFFFFFLL - kHeaderSize;

// A complete WAV file of these samples (whole samples only), header sizes filled in.
QByteArray file(const QByteArray& pcm);
} // namespace WavFormat
