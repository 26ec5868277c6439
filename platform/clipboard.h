#pragma once

#include <QByteArray>
#include <QClipboard>
#include <QString>
#include <QStringList>
#include <functional>

// One kind of data a selection held, as the person will get it back.
struct ClipboardContent {
    QString type; // empty: the selection held nothing we can keep
    QByteArray data;
    bool isEmpty() const { return type.isEmpty(); }
};

inline bool isTextType(const QString& type)
{
    return type.startsWith(QLatin1String("text/plain")) || type == QLatin1String("UTF8_STRING")
        || type == QLatin1String("STRING") || type == QLatin1String("TEXT");
}

// Of the types a selection offers, the one worth keeping: text (what dictation replaces
// most often), else an image, else the first. Empty when nothing is offered.
inline QString keptClipboardType(const QStringList& offered)
{
    for (const char* text : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING"}) {
        if (offered.contains(QLatin1String(text)))
            return QLatin1String(text);
    }
    for (const QString& type : offered) {
        if (type.startsWith(QLatin1String("image/")))
            return type;
    }
    return offered.value(0);
}

// The system clipboard as the paste uses it: the person's content read and given back, our
// text offered for one paste. GUI thread only; callbacks come from the event loop, or at
// once where the backend answers without waiting.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    virtual bool supportsSelection() const = 0;
    // Whether it calls the onChangedElsewhere() function: only then can a read be made
    // ahead of time.
    virtual bool reportsChanges() const = 0;
    // `changed(mode)` when another application takes a selection.
    virtual void onChangedElsewhere(std::function<void(QClipboard::Mode)> changed) = 0;
    virtual void read(QClipboard::Mode mode, std::function<void(ClipboardContent)> done) = 0;
    // `done(false)`: the text is not there, and the paste keystroke must not be sent (it
    // would paste the person's own clipboard).
    virtual void offerText(QClipboard::Mode mode, const QString& text, std::function<void(bool)> done) = 0;
    // `onRead` (once) at the next read of the offered text by another application, where
    // the backend can see reads; an empty function disarms.
    virtual void notifyRead(std::function<void()> onRead) = 0;
    // `onAsked` at each question of another application about the offered text (which
    // types it comes in, or its data), until disarmed with an empty function. False where
    // the backend cannot see questions.
    virtual bool notifyAsked(std::function<void()> /*onAsked*/) { return false; }
    // Puts the person's content back, unless something else replaced our text meanwhile.
    virtual void restore(QClipboard::Mode mode, const ClipboardContent& content, std::function<void()> done)
        = 0;
};
