#include "engine_receiver.h"

#include "scan_engine.h"

bool serveEngineRequest(AbstSdr* sdr, int32_t code, void* arg)
{
    switch (code) {
    case cbSetFreq:
        if (sdr)
            sdr->setFreq(*static_cast<float*>(arg));
        return true;
    case cbSetGain:
        if (sdr) {
            sdr->setGain(*static_cast<float*>(arg));
            *static_cast<float*>(arg) = sdr->gain();
        }
        return true;
    case cbRead: {
        auto* req = static_cast<SmpReq*>(arg);
        req->status = sdr ? sdr->read(&req->iq->re, req->n) : kReadFailed;
        if (req->status != kReadDelivered)
            sigZero_cs16(req->iq, req->n);
        return true;
    }
    default:
        return false;
    }
}
