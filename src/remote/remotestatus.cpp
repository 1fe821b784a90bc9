#include "remotestatus.h"

#include "remotejson.h"

using namespace Qt::StringLiterals;

template <typename Visit, typename Entry>
requires std::same_as<std::remove_const_t<Entry>, RemoteStatus::Entry>
void jsonFields(Visit& visit, Entry& entry)
{
    visit("id"_L1, entry.id);
    visit("name"_L1, entry.name);
}

template <typename Visit, typename Status>
requires std::same_as<std::remove_const_t<Status>, RemoteStatus>
void jsonFields(Visit& visit, Status& status)
{
    visit("error"_L1, status.error);
    visit("pairing"_L1, status.pairing);
    visit("cues"_L1, status.cues);
    visit("current"_L1, status.current);
    visit("next"_L1, status.next);
    visit("paused"_L1, status.paused);
    visit("blackout"_L1, status.blackout);
    visit("muted"_L1, status.muted);
    visit("projecting"_L1, status.projecting);
    visit("message"_L1, status.message);
}

QByteArray RemoteStatus::encode() const
{
    return RemoteJson::encode(*this);
}

std::optional<RemoteStatus> RemoteStatus::decode(const QByteArray& bytes)
{
    return RemoteJson::decode<RemoteStatus>(bytes);
}
