// The per-frame work behind GSM_pushFrame: append the frame, run the front end per block and
// step the state machine (FCCH search, SCH, then the 51-frame multiframe of timeslot 0).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "cell_decoder.h"

namespace corvane {

namespace {
constexpr float kTinyPower = 1.1754944e-38f;   // smallest normal float
constexpr int kSchHalfWidth = 32;
constexpr uint16_t kMaxFailures = 8;
// Lowest and highest read position whose burst chain stays inside the corrected block: the
// fractional delay reads readPos - 7 .. readPos + 154 after a timing shift of up to 5.
constexpr int kMinReadPos = 7;
constexpr int kMaxReadPos = kBlockOut - 155;

void restartSearch(CellDecoder* dec)
{
    frontEndReset(&dec->front);
    dec->state = dsFcch;
}

float levelDb(float power) { return 20.0f * std::log10(std::sqrt(power) + kTinyPower); }

void stepFcch(CellDecoder* dec)
{
    FrontEnd& fe = dec->front;
    SyncBank& bank = dec->syncBank;
    const cf32* burst = fe.corr + fe.readPos;
    if (!fcchCoarse(burst, dec->fcchCtx.ref, &bank))
        return;
    fcchFine(burst, dec->fcchCtx.ref, &bank);
    float f = fcchFreq(burst + bank.sync.offset, dec->fcchCtx.ref, &bank);
    bank.sync.freqHz = f;
    setupBurstCtx(&dec->schCtx, kindSch, &kSchLayout, kSchTrainingBits, 0.4f, 0.0f);
    dec->result.freqOffHz = f;
    setCorrection(&fe, f);
    dec->state = dsSch;
}

void stepSch(CellDecoder* dec)
{
    FrontEnd& fe = dec->front;
    SyncResult& sync = dec->syncBank.sync;
    if (!schSearch(fe.corr + fe.readPos, dec->schCtx.ref, &sync, kSchHalfWidth)) {
        restartSearch(dec);
        return;
    }
    const int o = sync.offset;
    const cf32* burst;
    if (o > 0) {
        // Later blocks start o output samples later; this frame's burst lies at readPos + o.
        fe.held -= 2 * o;
        if (fe.held > 0)
            std::memmove(fe.inBuf, fe.inBuf + 2 * o, sizeof(cf32) * fe.held);
        burst = fe.corr + fe.readPos + o;
    } else {
        fe.readPos += o;
        burst = fe.corr + fe.readPos;
    }
    sync.offset = 0;
    uint8_t octets[kBlockOctets + 1];
    SchInfo info;
    if (!decodeBurst(dec, &dec->schCtx, burst, octets) || !parseSch(octets, &info)) {
        restartSearch(dec);
        return;
    }
    resyncSch(dec, info);
    dec->state = dsSync;
}

void advanceCounters(CellDecoder* dec)
{
    dec->t2 = static_cast<uint16_t>(dec->t2 + 1 == 26 ? 0 : dec->t2 + 1);
    dec->t3 = static_cast<uint16_t>(dec->t3 + 1 == 51 ? 0 : dec->t3 + 1);
    if (dec->t2 == 0 && dec->t3 == 0)
        dec->t1 = static_cast<uint16_t>(dec->t1 + 1 == 2048 ? 0 : dec->t1 + 1);
}

BurstCtx* burstOfFrame(CellDecoder* dec)
{
    const int t3 = dec->t3;
    if (t3 % 10 == 0 && t3 != 50)
        return &dec->fcchCtx;
    if (t3 % 10 == 1)
        return &dec->schCtx;
    if (t3 >= 2 && t3 <= 5)
        return &dec->bcchCtx;
    return nullptr;
}

void stepSync(CellDecoder* dec)
{
    FrontEnd& fe = dec->front;
    // Timing corrections move the read position without bound; a burst chain reaching outside
    // the block would read foreign memory, so synchronisation starts afresh instead.
    if (fe.readPos < kMinReadPos || fe.readPos > kMaxReadPos) {
        restartSearch(dec);
        return;
    }
    advanceCounters(dec);
    if (BurstCtx* ctx = burstOfFrame(dec)) {
        ctx->frameNo = dec->t3;
        uint8_t octets[kBlockOctets + 1];
        if (decodeBurst(dec, ctx, fe.corr + fe.readPos, octets)) {
            if (ctx->kind == kindSch) {
                SchInfo info;
                if (parseSch(octets, &info))
                    resyncSch(dec, info);
            } else {
                parseRr(octets, &dec->siArea);
            }
            dec->failCount = 0;
        }
    }
    const SiArea& si = dec->siArea;
    if (si.laiValid == 1 && si.ciValid == 1 && si.si1Valid == 1)
        dec->state = dsDone;
}

void appendFrame(FrontEnd& fe, const cf32* samples)
{
    int n = kFrameIn;
    if (fe.held < 0) {
        int skip = std::min(-fe.held, n);
        fe.held += skip;
        samples += skip;
        n -= skip;
    }
    if (n > 0) {
        std::memcpy(fe.inBuf + fe.held, samples, sizeof(cf32) * n);
        fe.held += n;
    }
}
}  // namespace

bool processFrame(CellDecoder* dec, const cf32* samples)
{
    FrontEnd& fe = dec->front;
    appendFrame(fe, samples);
    while (fe.held >= kBlockIn) {
        frontEnd(&fe);
        switch (dec->state) {
        case dsFcch: stepFcch(dec); break;
        case dsSch: stepSch(dec); break;
        case dsSync: stepSync(dec); break;
        default: break;
        }
        if (dec->failCount > kMaxFailures) {
            restartSearch(dec);
            dec->failCount = 0;
        }
    }
    return dec->state == dsDone;
}

bool decodeBurst(CellDecoder* dec, BurstCtx* ctx, const cf32* burst, uint8_t* octets)
{
    FrontEnd& fe = dec->front;
    SyncBank& bank = dec->syncBank;

    float sum = 0.0f;
    for (int n = 0; n < kBurstLen; ++n)
        sum += burst[n].re * burst[n].re + burst[n].im * burst[n].im;
    float m = (kTinyPower + sum) * 0.006756757f;
    dec->burstPower = dec->burstPower == 0.0f ? m : 0.8f * dec->burstPower + 0.2f * m;
    if (!std::isfinite(dec->burstPower))
        dec->burstPower = 0.0f;

    if (ctx->kind == kindFcch) {
        float e = fcchFreq(burst, ctx->ref, &bank);
        bank.sync.freqHz += 0.25f * e;
        dec->result.freqOffHz = bank.sync.freqHz;
        setCorrection(&fe, bank.sync.freqHz);
        return false;
    }

    dec->lastFeLevelDb = levelDb(fe.meanPower);
    SyncResult* S = syncBurst(*ctx, &bank.sync, burst);
    if (!S) {
        ++dec->failCount;
        return false;
    }
    const int d = S->offset;
    fe.readPos += d;
    S->offset = 0;

    float w[5];
    lagrangeCoefs(S->fraction, w);
    cf32 y[kBurstLen];
    fracDelay(burst + d, w, y);
    estChannel(*ctx, y, &dec->chanState);
    const cf32* taps = shapeChannel(&dec->chanState);
    float soft[2 * kBcchDataLen];
    equalise(y, taps, *ctx, soft, &dec->mlse);

    float coded[kBcchCodedBits];
    if (!collectBits(soft, &dec->deint, ctx, coded))
        return false;
    uint8_t bits[kMaxDecodedBits];
    viterbiDecode(coded, ctx, bits);
    if (!checkParity(ctx, bits))
        return false;
    packOctets(bits, octets);
    return true;
}

void resyncSch(CellDecoder* dec, const SchInfo& info)
{
    const uint8_t* tsc = tscBits(info.bsic & 7);
    // The BCCH context must also belong to this BSIC: the frame counters outlive a reset, so a
    // new channel's SCH may agree with them by chance while the context holds an old sequence.
    if (info.bsic == dec->siArea.bsic && info.t3 == dec->t3 && info.t1 == dec->t1 &&
        info.t2 == dec->t2 && dec->bcchCtx.known == tsc)
        return;
    dec->siArea.bsic = info.bsic;
    dec->t3 = info.t3;
    dec->t2 = info.t2;
    dec->t1 = info.t1;
    setupBurstCtx(&dec->bcchCtx, kindBcch, &kNormalLayout, tsc, 0.27f, 0.0f);
}

}  // namespace corvane
