#pragma once

#include <QString>

// Process-wide constants of Parlix. The paths are derived from the environment on each
// call, so a test that points HOME/XDG_* elsewhere before using them sees its own tree.

inline constexpr int LOCAL_SERVER_PORT = 19000;

// "http://127.0.0.1:19000/api/transcribe"
QString LOCAL_SERVER_URL();

// "http://127.0.0.1:19000/translate": the local server's LibreTranslate-compatible engine.
QString LOCAL_TRANSLATION_URL();

// $XDG_DATA_HOME/Parlix (usually ~/.local/share/Parlix); not created here.
QString APP_SUPPORT_PATH();

// Folder of the files shipped beside the executable: <exe dir>/Resources in the build
// tree, <prefix>/share/parlix once installed. Empty when neither exists.
QString resourcesDirectory();

// Path of a shipped resource file, or an empty string when it is not there.
QString resourcePath(const QString& name);
