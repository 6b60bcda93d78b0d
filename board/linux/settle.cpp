#include "board/settle.h"

namespace board {

unsigned keyBoardSettleMilliseconds() {
    return 2000;
}

unsigned fpgaSettleMilliseconds() {
    return 2000;
}

}  // namespace board
