// The SDI card's bring-up as the input-source thread would run it.
#include "core/krxrampara.h"
#include "inputs/it66121_hdmitx_sys.h"
#include "inputs/it66121_sys.h"
#include "inputs/velmosource.h"

namespace {

// reg_para bytes are shared with the remote-control threads byte by byte.
void setCardPresent(bool present) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    u8* reg = &store->reg_para[velmosource::kInputStatusReg];
    if (present)
        __atomic_fetch_or(reg, velmosource::kSdiCardPresent, __ATOMIC_SEQ_CST);
    else
        __atomic_fetch_and(reg, static_cast<u8>(~velmosource::kSdiCardPresent), __ATOMIC_SEQ_CST);
}

}  // namespace

void velmosource::it66121_sdi_enable() {
    switch (sdi_step) {
        case 0:
            it66121->sdi_it66121_init();
            sdi_step = 1;
            return;
        case 1: {
            bool found = it66121->IT66121_Test();
            setCardPresent(found);
            if (found)
                sdi_step = 2;
            else
                ++it66121->failures;
            return;
        }
        case 2:
            it66121->IT66121_init();
            sdi_step = 3;
            return;
        default:
            it66121->hdmitx_sys->HDMITX_DevLoopProc();
            return;
    }
}
