#include "platform/x11/synthetic_key_ledger.h"

namespace {
// The server delivers the raw events of a fake key well within this; later entries are
// stale (no monitor is reading, or it missed them).
constexpr qint64 kExpiryMs = 2000;
}

SyntheticKeyLedger& SyntheticKeyLedger::shared()
{
    static SyntheticKeyLedger ledger;
    return ledger;
}

void SyntheticKeyLedger::expect(int xKeycode, bool press)
{
    QMutexLocker lock(&mutex_);
    if (!clock_.isValid())
        clock_.start();
    dropExpired();
    entries_.append({xKeycode, press, clock_.elapsed()});
}

bool SyntheticKeyLedger::consume(int xKeycode, bool press)
{
    QMutexLocker lock(&mutex_);
    dropExpired();
    if (entries_.isEmpty() || entries_.first().keycode != xKeycode || entries_.first().press != press)
        return false;
    entries_.removeFirst();
    return true;
}

void SyntheticKeyLedger::dropExpired()
{
    if (!clock_.isValid())
        return;
    const qint64 now = clock_.elapsed();
    while (!entries_.isEmpty() && now - entries_.first().atMs > kExpiryMs)
        entries_.removeFirst();
}
