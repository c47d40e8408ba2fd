#include "mix_fft.h"

#include <cmath>
#include <utility>

#include "scratch_pool.h"

Rad2Fft::Rad2Fft(int32_t order) : order_(order), size_(1 << order) { build(); }

Rad2Fft::~Rad2Fft() { release(); }

void Rad2Fft::release()
{
    sigFree(spec_);
    sigFree(work_);
    spec_ = nullptr;
    work_ = nullptr;
}

void Rad2Fft::build()
{
    int32_t specSize = 0, initSize = 0, workSize = 0;
    if (sigFftGetSize_cf32(order_, 8, 1, &specSize, &initSize, &workSize) != sigOk)
        return;
    uint8_t* specBlock = sigMalloc_u8(specSize);
    uint8_t* init = initSize > 0 ? sigMalloc_u8(initSize) : nullptr;
    sigFftSpec_cf32* spec = nullptr;
    if (specBlock && sigFftInit_cf32(&spec, order_, 8, 1, specBlock, init) == sigOk) {
        spec_ = spec;
        work_ = workSize > 0 ? sigMalloc_u8(workSize) : nullptr;
    } else {
        sigFree(specBlock);
    }
    sigFree(init);
}

void Rad2Fft::setOrder(int32_t order)
{
    if (order == order_)
        return;
    release();
    order_ = order;
    size_ = 1 << order;
    build();
}

sigStatus Rad2Fft::fwd(cf32* x) { return sigFftFwd_cf32(x, x, spec_, work_); }

MixFft::MixFft(int32_t n) : rad2_(4) { config(n); }

void MixFft::config(int32_t n)
{
    if (n <= 0)
        return;   // no size to split; the engine never asks for one
    int32_t a = 1, m = n;
    while ((m & 1) == 0) {
        a *= 2;
        m /= 2;
    }
    a = a >= 255 ? 256 : a < 3 ? 2 : a;
    m = m > 6 ? 7 : m < 4 ? 3 : m;
    if (a != pow2_) {
        pow2_ = a;
        int32_t order = 1;
        for (int32_t v = a; v > 2; v /= 2)
            ++order;
        rad2_.setOrder(order);
    }
    if (m != radix_)
        radix_ = m;
    if (a * m != size_) {
        size_ = a * m;
        scratch_ = static_cast<cf32*>(ScrPool::get(uint32_t(8 * size_), 0));
        const float twoPi = 6.2831855f;
        for (int32_t i = 0; i < a; ++i)
            for (int32_t b = 0; b < m; ++b) {
                float t = float(i * b) * -twoPi / float(size_);
                twiddle_[i][b] = cf32{std::cos(t), std::sin(t)};
            }
        for (int32_t k = 0; k < m; ++k)
            for (int32_t b = 0; b < m; ++b) {
                float u = float(k * b) * -twoPi / float(m);
                dftMatrix_[k][b] = cf32{std::cos(u), std::sin(u)};
            }
    }
}

void MixFft::window(cf32* x) { sigWinHann_cf32(x, x, size_); }

void MixFft::fwd(cf32* x)
{
    const int32_t a = pow2_, m = radix_;
    for (int32_t b = 0; b < m; ++b)
        for (int32_t i = 0; i < a; ++i)
            scratch_[b * a + i] = x[i * m + b];
    for (int32_t b = 0; b < m; ++b)
        rad2_.fwd(scratch_ + b * a);
    cf32 t[kTwiddlePitch];
    for (int32_t i = 0; i < a; ++i) {
        for (int32_t b = 0; b < m; ++b) {
            const cf32 w = twiddle_[i][b], s = scratch_[b * a + i];
            t[b] = cf32{w.re * s.re - w.im * s.im, w.re * s.im + w.im * s.re};
        }
        for (int32_t k = 0; k < m; ++k)
            sigDotProd_cf32(t, dftMatrix_[k], m, &scratch_[i + k * a]);
    }
    sigCopy_cf32(scratch_, x, size_);
}

void MixFft::swapHalves(cf32* x)
{
    const int32_t half = size_ / 2;
    for (int32_t i = 0; i < half; ++i)
        std::swap(x[i], x[i + half]);
}
