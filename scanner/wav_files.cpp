#include "wav_files.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "console_log.h"

namespace {

constexpr int64_t kHeaderBytes = 44;

uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
void put32(unsigned char* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> 8 * i); }
void put16(unsigned char* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }

// Out-of-range values and infinities saturate; NaN carries no level and reads as silence (its
// conversion to an integer would be undefined).
int16_t saturate16(float v)
{
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    if (v != v) return 0;
    return int16_t(v);   // truncation toward zero
}

// The file's size in bytes, -1 when it cannot be taken; the file is left at its start.
int64_t fileSize(FILE* f)
{
    int64_t size = fseeko(f, 0, SEEK_END) == 0 ? int64_t(ftello(f)) : -1;
    fseeko(f, 0, SEEK_SET);
    return size;
}

}  // namespace

WavFiles::WavFiles() : floatBuf_(2 * kFloatChunk) {}

WavFiles::~WavFiles() { closeAll(); }

void WavFiles::setParams(bool output, int k, const WavParams& params)
{
    (output ? out_[k].params : in_[k].params) = params;
}

void WavFiles::fail(const char* format, const char* name)
{
    std::snprintf(lastError_, sizeof lastError_, format, name);
    logPrintf("%s", lastError_);
}

// What a file of `size` bytes holds: the header's count, as far as the file really holds it (a
// truncated recording must not make reads run past its end), 2 bytes a value, 4 for float, two
// values a sample in stereo.
int64_t WavFiles::samplesIn(const Input& s, int64_t size)
{
    int64_t bytes = s.params.wav ? std::min(s.dataBytes, size - kHeaderBytes) : size;
    int64_t count = std::max<int64_t>(bytes, 0) / 2;
    if (s.params.format == kFmtFloat)
        count /= 2;
    if (s.params.numChans == 2)
        count /= 2;
    return count;
}

bool WavFiles::checkHdr(Input& s, int64_t size)
{
    if (size < kHeaderBytes) {
        fail("%s", "!!! Error, input wav header is absent\n");
        return false;
    }
    unsigned char h[kHeaderBytes];
    // The sample size must be the stream's: a float recording read as 16-bit samples (or the
    // other way round) plays as noise that looks like a real signal.
    const uint16_t bits = s.params.format == kFmtFloat ? 32 : 16;
    if (std::fread(h, 1, sizeof h, s.file) != sizeof h || std::memcmp(h, "RIFF", 4) != 0 ||
        std::memcmp(h + 8, "WAVE", 4) != 0 || std::memcmp(h + 12, "fmt ", 4) != 0 ||
        le32(h + 16) != 16 || le16(h + 34) != bits || std::memcmp(h + 36, "data", 4) != 0) {
        fail("%s", "!!! Error, input wav header is wrong\n");
        return false;
    }
    const int64_t dataSize = le32(h + 40);
    if (le32(h + 4) != size - 8 || dataSize != size - kHeaderBytes)
        logVerbose("Input wav size is wrong\n");
    if ((s.params.numChans == 2) != (le16(h + 22) == 2)) {
        fail("%s", "!!! Error, input wav mono/stereo mode is wrong\n");
        return false;
    }
    // A recording over 4 GiB has 0xFFFFFFFF here, the most the field holds: it plays that much.
    s.dataBytes = dataSize;
    s.nSamples = samplesIn(s, size);
    int64_t r = le32(h + 24);
    if (le16(h + 22) == 1)
        r /= 2;
    if (s.params.rate == 0) {
        s.params.rate = int32_t(r);
        return true;
    }
    if (std::llabs(int64_t(s.params.rate) - r) <= 1)
        return true;
    fail("%s", "!!! Error, input wav sample rate is wrong\n");
    return false;
}

bool WavFiles::openRead(Input& s)
{
    s.pairs = 0;
    s.prevQ = 0;
    s.file = std::fopen(s.params.name, "rb");
    if (s.file == nullptr) {
        fail("!!! Error, can not open file %s for read\n", s.params.name);
        return false;
    }
    const int64_t size = fileSize(s.file);
    if (!s.params.wav) {
        s.nSamples = samplesIn(s, size);
    } else if (!checkHdr(s, size)) {
        fail("!!! Error, wave file %s format unrecognized\n", s.params.name);
        std::fclose(s.file);
        s.file = nullptr;
        return false;
    }
    s.pos = 0;
    return true;
}

bool WavFiles::openAll()
{
    logVerbose("  Files %s %s %s %s %s %s %s %s\n", in_[0].params.name, in_[1].params.name,
               out_[0].params.name, out_[1].params.name, textIn_[0].name, textIn_[1].name,
               textOut_[0].name, textOut_[1].name);
    for (int k = 0; k < kStreams; ++k) {
        in_[k].params.wav = std::strstr(in_[k].params.name, ".wav") != nullptr;
        out_[k].params.wav = std::strstr(out_[k].params.name, ".wav") != nullptr;
    }
    bool ok = true;
    for (int k = 0; k < kStreams; ++k) {
        Input& in = in_[k];
        if (in.params.name[0] != '\0') {
            if (!openRead(in))
                return false;
            if (out_[k].params.rate == 0)
                out_[k].params.rate = in.params.rate;
        }
        Output& out = out_[k];
        if (out.params.name[0] != '\0') {
            std::memset(out.counters, 0, sizeof out.counters);
            out.file = std::fopen(out.params.name, "wb");
            if (out.file == nullptr)
                fail("!!! Error, can not open file %s for write\n", out.params.name);
            else if (out.params.wav)
                std::fseek(out.file, kHeaderBytes, SEEK_SET);
        }
        if (textIn_[k].name[0] != '\0') {
            textIn_[k].file = std::fopen(textIn_[k].name, "rt");
            if (textIn_[k].file == nullptr) {
                fail("!!! Error, can not open file %s for read\n", textIn_[k].name);
                return false;
            }
        }
        if (textOut_[k].name[0] != '\0') {
            textOut_[k].file = std::fopen(textOut_[k].name, "wt");
            if (textOut_[k].file == nullptr)
                fail("!!! Error, can not open file %s for write\n", textOut_[k].name);
        }
    }
    return ok;
}

void WavFiles::writeHeader(Output& s)
{
    long size = std::ftell(s.file);
    const bool flt = s.params.format == kFmtFloat;
    const uint16_t chans = s.params.numChans == 2 ? 2 : 1;
    const uint32_t rate = uint32_t(s.params.rate) * (s.params.numChans == 2 ? 1 : 2);
    const uint16_t align = uint16_t(chans * (flt ? 4 : 2));
    unsigned char h[kHeaderBytes];
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, uint32_t(size - 8));
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, chans);
    put32(h + 24, rate);
    put32(h + 28, align * rate);
    put16(h + 32, align);
    put16(h + 34, flt ? 32 : 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, uint32_t(size - kHeaderBytes));
    std::fseek(s.file, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, s.file);
}

void WavFiles::closeAll()
{
    for (int k = 0; k < kStreams; ++k) {
        if (in_[k].file) {
            std::fclose(in_[k].file);
            in_[k].file = nullptr;
        }
        if (out_[k].file) {
            if (out_[k].params.wav)
                writeHeader(out_[k]);
            std::fclose(out_[k].file);
            out_[k].file = nullptr;
        }
        for (Text* t : {&textIn_[k], &textOut_[k]})
            if (t->file) {
                std::fclose(t->file);
                t->file = nullptr;
            }
    }
}

void WavFiles::rewind(int k)
{
    Input& s = in_[k];
    if (s.file == nullptr)
        return;
    std::clearerr(s.file);
    std::fseek(s.file, s.params.wav ? kHeaderBytes : 0, SEEK_SET);
    s.pos = 0;
}

void WavFiles::realToIq(Input& s, int16_t* iq, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        int32_t x0 = iq[2 * i], x1 = iq[2 * i + 1];
        int32_t re, b;
        if ((s.pairs & 1) == 0) {
            re = x0;
            b = -x1;
        } else {
            re = -x0;
            b = x1;
        }
        int32_t q = (b + s.prevQ) / 2;   // C division rounds toward zero
        iq[2 * i] = int16_t(re > 32767 ? 32767 : re);
        iq[2 * i + 1] = int16_t(q > 32767 ? 32767 : q);
        s.prevQ = b;
        ++s.pairs;
    }
}

bool WavFiles::readSamples(int k, int16_t* iq, int32_t n)
{
    Input& s = in_[k];
    if (s.file == nullptr || n < 0)
        return false;
    // The position stays advanced after a read past the end, until the next rewind.
    s.pos += s.params.numChans == 2 ? n : 2 * int64_t(n);
    if (s.pos > s.nSamples)
        return false;
    size_t want = 2 * size_t(n);
    size_t got;
    if (s.params.format == kFmtFloat) {
        if (n > kFloatChunk)
            return false;
        got = std::fread(floatBuf_.data(), sizeof(float), want, s.file);
        for (size_t i = 0; i < got; ++i)
            iq[i] = saturate16(float(floatBuf_[i] * 0.125f) * 32768.0f);
    } else {
        got = std::fread(iq, sizeof(int16_t), want, s.file);
    }
    // A short read leaves the rest of the caller's buffer stale: never pass that on as samples.
    if (got != want || std::ferror(s.file))
        return false;
    if (s.params.numChans == 1)
        realToIq(s, iq, n);
    if (s.params.inv)
        for (int32_t i = 0; i < n; ++i)
            iq[2 * i + 1] = iq[2 * i + 1] == -32768 ? int16_t(32767) : int16_t(-iq[2 * i + 1]);
    return true;
}

bool WavFiles::recount(int k)
{
    Input& s = in_[k];
    if (s.file == nullptr)
        return false;
    const int64_t size = fileSize(s.file);
    if (size < 0)
        return false;
    s.nSamples = samplesIn(s, size);
    rewind(k);   // taking the size has moved the file away from its first sample
    return true;
}

bool WavFiles::readChunked(int k, int16_t* iq, int32_t n)
{
    bool ok = true;
    for (int32_t done = 0; done < n && ok; ) {
        int32_t piece = n - done < kFloatChunk ? n - done : kFloatChunk;
        ok = readSamples(k, iq + 2 * size_t(done), piece);
        done += piece;
    }
    return ok;
}
