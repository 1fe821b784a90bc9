#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <memory>

// Runs work on Qt's global thread pool; the future holds its result.
template <typename T, typename Work> QFuture<T> runInThreadPool(Work work)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}
