#include "stationprober.h"

TStationProber::TStationProber(QObject *receiver, Probe probe, Result result)
    : receiver_(receiver), probe_(std::move(probe)), result_(std::move(result)), thread_([this] { run(); })
{
}

TStationProber::~TStationProber()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cancel_->store(true);
    wake_.notify_all();
    thread_.join();
}

void TStationProber::probe(const QString &url)
{
    {
        std::lock_guard lock(mutex_);
        pending_ = url;
    }
    wake_.notify_all();
}

void TStationProber::run()
{
    for (;;) {
        QString url;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
            if (stop_)
                return;
            url = *pending_;
            pending_.reset();
        }
        TStreamInfo info;
        probe_(url, info, cancel_);
        if (cancel_->load())
            return;
        // The receiver exists while this thread runs (it outlives the prober,
        // whose destruction joins the thread).
        QMetaObject::invokeMethod(
            receiver_, [result = result_, url, info] { result(url, info); }, Qt::QueuedConnection);
    }
}
