// A small set of sample-file streams: two inputs, two outputs, two text streams each way.
// Inputs and outputs are WAV (44-byte RIFF header, chosen by a ".wav" name) or headerless,
// 16-bit integer or 32-bit float, stereo I/Q or mono real. Reads deliver complex int16.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

enum WavFormat : int32_t { kFmtInt16 = 0, kFmtFloat = 1 };

struct WavParams {
    char name[128] = {};       // empty: the stream is not used
    int32_t rate = 0;          // complex samples/s; 0: from the header (inputs) or input k (outputs)
    int32_t numChans = 2;      // 2 stereo I/Q, 1 mono real
    int32_t format = kFmtInt16;
    bool inv = false;          // negate Q of every sample read
    bool wav = false;          // 44-byte header; set at open from the name
};

class WavFiles {
public:
    static constexpr int kStreams = 2;
    static constexpr int32_t kFloatChunk = 8192;   // complex samples per float read

    WavFiles();
    ~WavFiles();
    WavFiles(const WavFiles&) = delete;
    WavFiles& operator=(const WavFiles&) = delete;

    void setParams(bool output, int k, const WavParams& params);
    // Opens every named stream. An input (sample or text) that cannot be opened is a failure:
    // false, with the reason logged and kept in lastError().
    bool openAll();
    void closeAll();
    void rewind(int k);
    bool readSamples(int k, int16_t* iq, int32_t n);
    // Reads in pieces of at most kFloatChunk samples; the result is the last piece's.
    bool readChunked(int k, int16_t* iq, int32_t n);
    // Takes input k's sample count again from the size its file has now (bounded by the header's
    // count, as at open), for a file that may have been cut or rewritten since, and rewinds.
    // False, with the count unchanged, when the size cannot be taken.
    bool recount(int k);

    bool inputOpen(int k) const { return in_[k].file != nullptr; }
    int32_t inputRate(int k) const { return in_[k].params.rate; }
    int64_t inputSamples(int k) const { return in_[k].nSamples; }
    const char* lastError() const { return lastError_; }

private:
    struct Input {
        FILE* file = nullptr;
        WavParams params;
        // Sizes in 64 bits: a recording passes 4 GiB after 7.5 minutes at 2.4 MHz.
        int64_t dataBytes = 0;   // sample bytes the WAV header claims
        int64_t nSamples = 0;
        int64_t pos = 0;
        int32_t pairs = 0;    // mono conversion: complex samples produced since open
        int32_t prevQ = 0;    // mono conversion: previous unaveraged Q
    };
    struct Output {
        FILE* file = nullptr;
        WavParams params;
        int32_t counters[3] = {};
    };
    struct Text {
        FILE* file = nullptr;
        char name[128] = {};
    };

    bool openRead(Input& s);
    bool checkHdr(Input& s, int64_t fileSize);
    static int64_t samplesIn(const Input& s, int64_t fileSize);
    void realToIq(Input& s, int16_t* iq, int32_t n);
    void writeHeader(Output& s);
    void fail(const char* format, const char* name);

    Input in_[kStreams];
    Output out_[kStreams];
    Text textIn_[kStreams];
    Text textOut_[kStreams];
    std::vector<float> floatBuf_;
    char lastError_[256] = {};
};
