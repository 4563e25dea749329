// Where an encoder puts the bytes of a file: a file on disk (OutputFile) or,
// in tests and benchmarks, memory. Encoders hand their bytes over in pieces
// from a buffer of their own, so that no file is ever held whole in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends length bytes; false when they could not be taken (the sink
    // remembers why). After a false, further writes may be refused too.
    virtual bool Write(const std::uint8_t* bytes, std::size_t length) = 0;
};

// A sink that keeps everything in memory.
class MemorySink : public ByteSink {
public:
    bool Write(const std::uint8_t* bytes, std::size_t length) override {
        data.insert(data.end(), bytes, bytes + length);
        return true;
    }
    std::vector<std::uint8_t> data;
};
