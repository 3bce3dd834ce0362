#include "stationprober.h"

TStationProber::TStationProber(QObject *receiver, Probe probe, Result result)
{
    shared_->receiver = receiver;
    std::thread worker([shared = shared_, probe = std::move(probe), result = std::move(result)] {
        run(shared, probe, result);
    });
    threadId_ = worker.get_id();
    worker.detach();
}

TStationProber::~TStationProber()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
        shared_->receiver = nullptr;
    }
    shared_->cancel->store(true);
    shared_->wake.notify_all();
}

void TStationProber::probe(const QString &url)
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->pending = url;
    }
    shared_->wake.notify_all();
}

void TStationProber::run(const std::shared_ptr<Shared> &shared, const Probe &probe, const Result &result)
{
    for (;;) {
        QString url;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&shared] { return shared->stop || shared->pending.has_value(); });
            if (shared->stop)
                return;
            url = *shared->pending;
            shared->pending.reset();
        }
        TStreamInfo info;
        probe(url, info, shared->cancel);
        // Posted under the lock: the receiver cannot go between the look
        // and the post, and a receiver that goes later drops the call.
        std::lock_guard lock(shared->mutex);
        if (shared->stop || !shared->receiver)
            return;
        QMetaObject::invokeMethod(
            shared->receiver, [result, url, info] { result(url, info); }, Qt::QueuedConnection);
    }
}
