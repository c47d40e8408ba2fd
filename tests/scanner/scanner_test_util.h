// Helpers for the scanner tests: a private working directory and recordings.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Runs a test in a fresh temporary directory (the scanner reads and writes its working dir).
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/scannertest-XXXXXX";
        path_ = mkdtemp(tmpl);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TempDir()
    {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(path_);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::filesystem::path old_;
};

// The message of the runtime_error that f throws; empty when it throws none.
template <class F>
std::string errorOf(F f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

inline void writeFile(const char* name, const void* data, size_t bytes)
{
    FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(data, 1, bytes, f);
    std::fclose(f);
}

struct WavSpec {
    uint32_t rate = 2400000;
    uint16_t channels = 2;
    int32_t riffDelta = 0;        // added to the RIFF size field
    int32_t dataDelta = 0;        // added to the data size field
    const char* riff = "RIFF";
    const char* wave = "WAVE";
    const char* fmt = "fmt ";
    uint32_t fmtSize = 16;
    uint16_t tag = 1;             // 3: float samples
    uint16_t bits = 16;
    const char* data = "data";
};

// A WAV holding the given values (as bytes: the header may claim another sample size).
inline void writeWav(const char* name, const std::vector<int16_t>& values, const WavSpec& spec = {})
{
    FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    const uint32_t data = uint32_t(values.size() * 2);
    const uint32_t align = spec.channels * spec.bits / 8u;
    auto put = [&](uint32_t v, size_t bytes) { std::fwrite(&v, bytes, 1, f); };
    std::fwrite(spec.riff, 1, 4, f);
    put(data + 36 + uint32_t(spec.riffDelta), 4);
    std::fwrite(spec.wave, 1, 4, f);
    std::fwrite(spec.fmt, 1, 4, f);
    put(spec.fmtSize, 4);
    put(spec.tag, 2);
    put(spec.channels, 2);
    put(spec.rate, 4);
    put(spec.rate * align, 4);
    put(align, 2);
    put(spec.bits, 2);
    std::fwrite(spec.data, 1, 4, f);
    put(data + uint32_t(spec.dataDelta), 4);
    if (!values.empty())  // an empty vector's data() may be null, which fwrite must not get
        std::fwrite(values.data(), 2, values.size(), f);
    std::fclose(f);
}

// Rewrites a WAV's RIFF and data size fields, as a recorder leaves them for a file it cannot
// count (0xFFFFFFFF) or for one it has not finished.
inline void setWavSizes(const char* name, uint32_t riff, uint32_t data)
{
    FILE* f = std::fopen(name, "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 4, SEEK_SET);
    std::fwrite(&riff, 4, 1, f);
    std::fseek(f, 40, SEEK_SET);
    std::fwrite(&data, 4, 1, f);
    std::fclose(f);
}

// Ramp of n complex samples: I = k mod 30000, Q = -(k mod 30000).
inline std::vector<int16_t> rampIq(int n)
{
    std::vector<int16_t> v;
    for (int k = 0; k < n; ++k) {
        v.push_back(int16_t(k % 30000));
        v.push_back(int16_t(-(k % 30000)));
    }
    return v;
}
