// The leading fields of a burst context: all that channel decoding reads of one.
//
// The burst receiver's full context (layout, known bits, GMSK reference) is declared as
//     struct BurstCtx : BurstHead { const BurstLayout *layout; const uint8_t *known; SyncRef ref;
//     };
// so its first three fields are these, in this order, and a BurstCtx* converts to a
// const BurstHead* wherever the channel decoder takes one.
#pragma once
#include <cstdint>

enum BurstKind : int32_t {
    kindFcch = 0,
    kindSch = 1,
    kindBcch = 2,
};

struct BurstHead {
    int32_t kind;      // BurstKind
    uint16_t timeslot; // always 0 on the broadcast carrier
    uint16_t frameNo;  // T3 of the frame whose burst is being decoded (2..5 for the BCCH)
};
