#pragma once

#include <QString>
#include <functional>
#include <optional>

// Absolute path of the uv tool: shipped beside Parlix, then <cwd>/Resources/uv and
// <cwd>/Parlix.app/Contents/Resources/uv, then uv on PATH.
std::optional<QString> findUv();

// APP_SUPPORT_PATH/venv/bin/python3 when it exists, else "".
QString findPython3();

// Creates APP_SUPPORT_PATH/venv with `uv venv <dir> --python 3.12`. The completion runs
// exactly once: synchronously for the early outcomes, later on the GUI thread otherwise.
void createPythonVenv(std::function<void(bool success, std::optional<QString> error)> completion);
