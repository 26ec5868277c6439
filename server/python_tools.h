#pragma once

#include <QString>
#include <functional>
#include <optional>

// Absolute path of a uv on PATH, if there is one. Never required (nothing ships it): the
// server script may use it to install faster than the venv's pip.
std::optional<QString> findUv();

// The interpreter that makes the venv: $PARLIX_SYSTEM_PYTHON when set, else
// /usr/bin/python3 (Debian's, which python3-venv serves), else python3 on PATH. Empty
// when there is none.
QString findSystemPython3();

// APP_SUPPORT_PATH/venv/bin/python3 when it exists, else "".
QString findPython3();

// Creates APP_SUPPORT_PATH/venv with `<system python3> -m venv <dir>` (its own pip
// included). The completion runs exactly once: synchronously for the early outcomes,
// later on the GUI thread otherwise. A failed or interrupted run leaves no venv behind.
void createPythonVenv(std::function<void(bool success, std::optional<QString> error)> completion);
