// The CEC responder's replies: a received request is answered at once, to its initiator or
// to everyone, with this device's logical address as the sender.
#pragma once

#include "core/types.h"

class ite6805_sys;

class ite6805_cec_feture {
public:
    // The reported power status: on.
    u8 power_status = 0;

    explicit ite6805_cec_feture(ite6805_sys& sys);

    // Answers the current received frame, when it is one of the requests answered.
    void iTE6805_CEC_CMD_Feature_decode(u8 dev);

private:
    ite6805_sys& sys_;
};
