// SPDX-License-Identifier: MIT
#include "ui/base/worker_thread.h"

#include <QThread>

namespace coffer {

WorkerThread::WorkerThread(QObject* parent) : QObject(parent) {}

WorkerThread::~WorkerThread() {
    if (thread_) {
        stop_.request_stop();
        thread_->wait();
    }
}

void WorkerThread::start(std::function<void(std::stop_token)> work) {
    if (thread_)
        return;
    stop_ = std::stop_source();
    thread_.reset(QThread::create([work = std::move(work), stop = stop_.get_token()] { work(stop); }));
    connect(thread_.get(), &QThread::finished, this, [this] {
        thread_->wait();
        thread_.reset();
        emit finished();
    });
    thread_->start();
}

void WorkerThread::waitForEnd() const {
    if (thread_)
        thread_->wait(); // QThread emits its `finished`, which this object hears queued, before it wakes a waiter
}

void WorkerThread::post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

} // namespace coffer
