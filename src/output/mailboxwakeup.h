#pragma once

#include <functional>
#include <memory>
#include <mutex>

// A call that raises one flag of a render thread's mailbox and wakes the thread, for callers on other threads (the
// decoder's, a pool's) that may outlive the thread: once the mailbox is gone the call does nothing.
template <class Mailbox>
std::function<void()> mailboxWakeup(const std::shared_ptr<Mailbox>& mailbox, bool Mailbox::*flag)
{
    return [weak = std::weak_ptr<Mailbox>(mailbox), flag] {
        if (const std::shared_ptr<Mailbox> box = weak.lock()) {
            std::scoped_lock lock(box->lock);
            (*box).*flag = true;
            box->wake.notify_one();
        }
    };
}
