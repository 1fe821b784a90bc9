#include "newuuid.h"

#include <array>
#include <random>

QUuid newUuid()
{
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::array<std::random_device::result_type, 8> seed;
        for (auto& word : seed)
            word = device();
        std::seed_seq sequence(seed.begin(), seed.end());
        return std::mt19937_64(sequence);
    }();
    const quint64 high = generator();
    const quint64 low = generator();
    QUuid uuid;
    uuid.data1 = uint(high >> 32);
    uuid.data2 = ushort(high >> 16);
    uuid.data3 = ushort((high & 0x0FFF) | 0x4000);
    uuid.data4[0] = uchar(((low >> 56) & 0x3F) | 0x80);
    for (int i = 1; i < 8; ++i)
        uuid.data4[i] = uchar(low >> (56 - 8 * i));
    return uuid;
}
