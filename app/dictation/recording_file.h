#pragma once

#include <QByteArray>
#include <QString>

// Where the last recording is kept: "voice_input.wav" in a folder only this user can
// enter ($XDG_RUNTIME_DIR, else a 0700 folder of ours under the temporary folder), so that
// no other account can read the recording or plant a link in its place.
namespace RecordingFile {

QString directory();
QString path();
// Writes the file as 0600, replacing what is there; a link planted at its name is
// removed, never followed. False, and no file there, when it could not be written whole.
bool write(const QByteArray& wav);

} // namespace RecordingFile
