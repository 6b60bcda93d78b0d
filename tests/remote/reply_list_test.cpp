// The reply list of a transport: only the newest card answer waits, and its wake-up
// descriptor is readable exactly while an answer waits, so that the transport's thread,
// which waits for it together with its input, sends the answer at once.
#include <gtest/gtest.h>
#include <poll.h>

#include "remote/reply_list.h"

namespace {

bool readable(int fd) {
    pollfd p = {fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

Udp_Rec_Send_Data record(u8 first) {
    Udp_Rec_Send_Data r = {};
    r.length = 1;
    r.data[0] = first;
    return r;
}

TEST(ReplyList, OnlyTheNewestAnswerWaitsAndTheWakeUpFollowsIt) {
    ReplyList<Udp_Rec_Send_Data> list;
    ASSERT_GE(list.wake_fd(), 0);
    EXPECT_FALSE(readable(list.wake_fd()));
    list.replace(record(1));
    list.replace(record(2));
    EXPECT_TRUE(readable(list.wake_fd()));
    auto taken = list.take();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken.front().data[0], 2);
    EXPECT_FALSE(readable(list.wake_fd()));
    EXPECT_TRUE(list.take().empty());

    list.replace(record(3));
    list.clear();
    EXPECT_FALSE(readable(list.wake_fd()));
    EXPECT_TRUE(list.take().empty());
}

}  // namespace
