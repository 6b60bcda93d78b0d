// The three-channel IT6602 receiver driver, as far as the input-source thread calls it.
//
// Only the entry points exist yet, and they do nothing: the driver itself replaces this
// header. The first member is the bus descriptor the input-source manager stores.
#pragma once

class velmo_it6602 {
public:
    int fd = -1;

    // Identifies and resets the channel's chip; non-zero once the chip was found.
    int IT6602_fsm_init(int /*fd*/, int /*ch*/) { return 0; }
    void IT6602_fsm_init_1(int /*fd*/, int /*ch*/) {}
    void IT6602_fsm(int /*fd*/, int /*ch*/) {}
    void IT6602HPDCtrl(int /*fd*/, int /*port*/, int /*level*/) {}
};
