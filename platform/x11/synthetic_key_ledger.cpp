#include "platform/x11/synthetic_key_ledger.h"

namespace {
// The server delivers the raw events of a fake key well within this; older entries are
// stale (the monitor missed them) and must not swallow later keys.
constexpr qint64 kExpiryMs = 2000;
} // namespace

SyntheticKeyLedger& SyntheticKeyLedger::shared()
{
    static SyntheticKeyLedger ledger;
    return ledger;
}

void SyntheticKeyLedger::subscribe(const void* monitor)
{
    QMutexLocker lock(&mutex_);
    if (!clock_.isValid())
        clock_.start();
    queues_.insert(monitor, {});
}

void SyntheticKeyLedger::unsubscribe(const void* monitor)
{
    QMutexLocker lock(&mutex_);
    queues_.remove(monitor);
}

void SyntheticKeyLedger::expect(int xKeycode, bool press)
{
    QMutexLocker lock(&mutex_);
    for (auto& entries : queues_) {
        dropExpired(entries);
        entries.append({xKeycode, press, clock_.elapsed()});
    }
}

bool SyntheticKeyLedger::consume(const void* monitor, int xKeycode, bool press)
{
    QMutexLocker lock(&mutex_);
    const auto it = queues_.find(monitor);
    if (it == queues_.end())
        return false;
    dropExpired(*it);
    if (it->isEmpty() || it->first().keycode != xKeycode || it->first().press != press)
        return false;
    it->removeFirst();
    return true;
}

void SyntheticKeyLedger::dropExpired(QList<Entry>& entries) const
{
    const qint64 now = clock_.elapsed();
    while (!entries.isEmpty() && now - entries.first().atMs > kExpiryMs)
        entries.removeFirst();
}
