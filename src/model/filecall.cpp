#include "filecall.h"

namespace {
thread_local const FileCall::Watch* watching = nullptr;
}

FileCall::Watch::Watch(std::function<void(Moment)> heard) : m_heard(std::move(heard)), m_before(watching)
{
    watching = this;
}

FileCall::Watch::~Watch()
{
    watching = m_before;
}

void FileCall::sign(Moment moment)
{
    if (watching)
        watching->m_heard(moment);
}
