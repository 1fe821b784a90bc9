#pragma once

#include "lookaside.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <mutex>

// Brings the results of looks at the disk, each run on a thread of its own, back to an object's thread, for as long
// as the object lives: the object asks and goes on, and acts when the answer comes. A look held by a folder that
// stopped answering holds only its own thread; its answer comes whenever the folder answers.
class LookReplies
{
  public:
    explicit LookReplies(QObject* receiver) : m_box(std::make_shared<Box>()) { m_box->receiver = receiver; }
    // No answer reaches the receiver after this, however late it comes.
    ~LookReplies()
    {
        std::lock_guard guard(m_box->lock);
        m_box->receiver = nullptr;
    }
    LookReplies(const LookReplies&) = delete;
    LookReplies& operator=(const LookReplies&) = delete;

    // Runs the look aside and `then` with its result on the receiver's thread. False when no thread could be
    // started: then nothing is answered.
    template <typename Result> bool ask(std::function<Result()> look, std::function<void(Result)> then)
    {
        return lookAside<Result>(std::move(look), [box = m_box, then = std::move(then)](Result result) {
            // Posted under the lock, so the receiver cannot go between the check and the post; a post to a
            // receiver that goes later is dropped with it.
            std::lock_guard guard(box->lock);
            if (box->receiver)
                QMetaObject::invokeMethod(
                    box->receiver.data(), [then, result = std::move(result)] { then(result); }, Qt::QueuedConnection);
        });
    }

  private:
    struct Box
    {
        std::mutex lock;
        QPointer<QObject> receiver;
    };
    std::shared_ptr<Box> m_box;
};
