#pragma once

#include <utility>

// Stores a new value of a published property; true when it differs, so that the caller announces the change.
template <typename T, typename U> bool assign(T& field, U&& value)
{
    if (field == value)
        return false;
    field = std::forward<U>(value);
    return true;
}
