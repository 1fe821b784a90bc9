#include "remotereplystore.h"

#include <gtest/gtest.h>

using Result = RemoteReplyStore::Result;
using Characteristic = RemoteReplyStore::Characteristic;

namespace {

const QByteArray kProbe(1, '\0');

class RemoteReplyStoreTest : public ::testing::Test
{
  protected:
    Result write(const QString& central, const QByteArray& value, double at = 0)
    {
        return store.write(central, Characteristic::request, 0, value, at, [this](const QByteArray& request) {
            ++dispatched;
            return replies.value(request, "reply to " + request);
        });
    }
    RemoteReplyStore::Read read(const QString& central, int updateLength = 185, double at = 0)
    {
        return store.read(central, Characteristic::reply, 0, updateLength, at);
    }
    // The reads a phone makes until the flag says the end, each value as it came.
    QList<QByteArray> readAll(const QString& central, int updateLength)
    {
        QList<QByteArray> values;
        for (int i = 0; i < 10000; ++i) {
            const RemoteReplyStore::Read got = read(central, updateLength);
            EXPECT_EQ(got.result, Result::success);
            values.append(got.value);
            if (got.value.isEmpty() || got.value.at(0) == '\0')
                break;
        }
        return values;
    }

    RemoteReplyStore store;
    QHash<QByteArray, QByteArray> replies;
    int dispatched = 0;
};

TEST_F(RemoteReplyStoreTest, RepliesAreReadInChunksLedByTheMoreFlag)
{
    struct Row
    {
        int replyLength;
        int updateLength;
        QList<int> chunkLengths; // payload bytes per read; the last read carries flag 0
    };
    const QList<Row> rows = {
        {0, 185, {0}},      // an unencodable reply is one read holding the flag alone
        {19, 20, {19}},     // exactly one chunk
        {20, 20, {19, 1}},  // one byte more needs a second read
        {3, 1, {1, 1, 1}},  // no room beside the flag: still one byte a read
        {3, -5, {1, 1, 1}}, //
        {400, 181, {180, 180, 40}},
        {400, 600, {180, 180, 40}}, // never more than 180 bytes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.replyLength << " bytes, update length " << row.updateLength);
        QByteArray reply;
        for (int i = 0; i < row.replyLength; ++i)
            reply.append(char('a' + i % 26));
        replies.insert("ask", reply);
        ASSERT_EQ(write("phone", "ask"), Result::success);
        const QList<QByteArray> values = readAll("phone", row.updateLength);
        QList<int> lengths;
        QByteArray joined;
        for (int i = 0; i < values.size(); ++i) {
            EXPECT_EQ(values[i].at(0), i + 1 < values.size() ? '\1' : '\0');
            lengths.append(int(values[i].size() - 1));
            joined += values[i].mid(1);
        }
        EXPECT_EQ(lengths, row.chunkLengths);
        EXPECT_EQ(joined, reply);
        EXPECT_EQ(read("phone").result, Result::readNotPermitted) << "nothing waits after the last chunk";
    }
}

TEST_F(RemoteReplyStoreTest, WritesAndReadsThatAreRefused)
{
    struct Row
    {
        const char* what;
        Characteristic characteristic;
        int offset;
        QByteArray value;
        Result expected;
    };
    const QList<Row> rows = {
        {"the reply characteristic", Characteristic::reply, 0, "ask", Result::requestNotSupported},
        {"a part of a long write", Characteristic::request, 20, "ask", Result::requestNotSupported},
        {"no value", Characteristic::request, 0, {}, Result::requestNotSupported},
        {"more than 4096 bytes", Characteristic::request, 0, QByteArray(4097, 'x'), Result::requestNotSupported},
        {"a probe with nothing waiting", Characteristic::request, 0, kProbe, Result::readNotPermitted},
        {"4096 bytes", Characteristic::request, 0, QByteArray(4096, 'x'), Result::success},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RemoteReplyStore fresh;
        int calls = 0;
        EXPECT_EQ(fresh.write("phone", row.characteristic, row.offset, row.value, 0,
                              [&](const QByteArray&) {
                                  ++calls;
                                  return QByteArray("r");
                              }),
                  row.expected);
        EXPECT_EQ(calls, row.expected == Result::success ? 1 : 0);
        EXPECT_EQ(fresh.waiting("phone"), row.expected == Result::success);
    }

    ASSERT_EQ(write("phone", "ask"), Result::success);
    EXPECT_EQ(store.read("phone", Characteristic::request, 0, 185, 0).result, Result::readNotPermitted);
    EXPECT_EQ(read("other").result, Result::readNotPermitted);
    EXPECT_EQ(store.read("phone", Characteristic::reply, 5, 185, 0).result, Result::invalidOffset);
    EXPECT_EQ(read("phone").value, QByteArray("\0reply to ask", 13)) << "a refused offset leaves the reply whole";
}

TEST_F(RemoteReplyStoreTest, ProbesTellWhetherAReplyWaitsAndChangeNothing)
{
    replies.insert("ask", QByteArray(30, 'r'));
    EXPECT_EQ(write("phone", kProbe), Result::readNotPermitted);
    ASSERT_EQ(write("phone", "ask"), Result::success);
    EXPECT_EQ(write("phone", kProbe), Result::success);
    EXPECT_EQ(write("other", kProbe), Result::readNotPermitted);
    EXPECT_EQ(dispatched, 1);
    EXPECT_EQ(read("phone", 11).value, "\1" + QByteArray(10, 'r'));
    EXPECT_EQ(write("phone", kProbe), Result::success) << "half read still waits";
    readAll("phone", 11);
    EXPECT_EQ(write("phone", kProbe), Result::readNotPermitted);

    // Two zero bytes are a request like any other.
    EXPECT_EQ(write("phone", QByteArray(2, '\0')), Result::success);
    EXPECT_EQ(dispatched, 2);
}

TEST_F(RemoteReplyStoreTest, ANewRequestReplacesTheUnreadReply)
{
    replies.insert("first", QByteArray(30, '1'));
    replies.insert("second", QByteArray(5, '2'));
    write("phone", "first");
    read("phone", 11);
    write("phone", "second");
    EXPECT_EQ(read("phone", 11).value, QByteArray(1, '\0') + QByteArray(5, '2'));
    EXPECT_EQ(store.size(), 0);
}

TEST_F(RemoteReplyStoreTest, AFullStoreGivesUpOnlyItsOldestReply)
{
    for (int i = 0; i < RemoteReplyStore::kMostReplies; ++i)
        write(QString("phone %1").arg(i), "ask", i * 0.1);
    // A phone that already has a place keeps the others.
    write("phone 5", "again", 2);
    EXPECT_EQ(store.size(), RemoteReplyStore::kMostReplies);
    EXPECT_TRUE(store.waiting("phone 0"));

    write("newcomer", "ask", 2.1);
    EXPECT_EQ(store.size(), RemoteReplyStore::kMostReplies);
    EXPECT_FALSE(store.waiting("phone 0"));
    for (int i = 1; i < RemoteReplyStore::kMostReplies; ++i)
        EXPECT_TRUE(store.waiting(QString("phone %1").arg(i))) << i;
    EXPECT_TRUE(store.waiting("newcomer"));
}

TEST_F(RemoteReplyStoreTest, RepliesNotReadFor10SecondsAreDropped)
{
    replies.insert("ask", QByteArray(30, 'r'));
    write("slow", "ask", 100);
    write("reader", "ask", 100);
    EXPECT_EQ(read("reader", 11, 109.5).result, Result::success);
    // Every chunk read starts the wait again.
    EXPECT_EQ(read("reader", 11, 119).result, Result::success);
    EXPECT_EQ(read("slow", 11, 110).result, Result::readNotPermitted);
    EXPECT_EQ(write("slow", kProbe, 110), Result::readNotPermitted);
    EXPECT_EQ(read("reader", 11, 129).result, Result::readNotPermitted);
    EXPECT_EQ(store.size(), 0);
}

} // namespace
