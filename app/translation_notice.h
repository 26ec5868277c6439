#pragma once

#include "translation/libre_translate_engine.h"

#include <QString>

// What Parlix tells the user, once per session, when a translated dictation found no
// working engine: the untranslated text was typed, and here is what to do about it.
QString translationUnavailableMessage(
    LibreTranslateEngine::Failure failure, bool localMode, const QString& address, const QString& reason);
