// The one-time seeding of the hotword list.
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "text/scalar_order.h"
#include "text/text_post_processor.h"

#include <algorithm>

using namespace SettingsKey;

// "termDictionary" is either one stored map or an INI group of its own.
QVariantMap Settings::termDictionary() const
{
    std::lock_guard lock(m_mutex);
    const QVariant stored = m_defaults->value(kTermDictionary);
    if (stored.metaType().id() == QMetaType::QVariantMap)
        return stored.toMap();
    if (stored.isValid())
        return {};
    QVariantMap group;
    m_defaults->beginGroup(kTermDictionary);
    for (const QString& key : m_defaults->childKeys())
        group.insert(key, m_defaults->value(key));
    m_defaults->endGroup();
    return group;
}

void Settings::loadDefaultHotwordsIfNeeded()
{
    std::lock_guard lock(m_mutex);
    if (value(kHotwordsInitialized).toBool())
        return;
    write(kHotwordsInitialized, true);

    const QVariantMap terms = termDictionary();
    {
        const bool allStrings = std::all_of(terms.cbegin(), terms.cend(),
            [](const QVariant& v) { return v.metaType().id() == QMetaType::QString; });
        if (!terms.isEmpty() && allStrings) {
            QStringList words;
            for (const QVariant& v : terms)
                words.append(v.toString());
            words.removeDuplicates();
            sortByUnicodeScalars(words);
            setHotwords(words);
            return;
        }
    }
    setHotwords(TextPostProcessor::defaultHotwords());
}
