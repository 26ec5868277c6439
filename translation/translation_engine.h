#pragma once

#include <QString>
#include <functional>
#include <optional>

// Translates a text into the language of an identifier ("en", "ja"), detecting the source
// language itself. The callback runs exactly once, on the GUI thread and never inside
// translate(): with the translation, or nullopt on any failure.
class TranslationEngine {
public:
    using Callback = std::function<void(std::optional<QString>)>;

    virtual ~TranslationEngine() = default;
    virtual void translate(const QString& text, const QString& targetLanguage, Callback callback) = 0;
};
