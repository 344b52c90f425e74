// Byte streams: the abstract stream the connection reads into and writes
// from, a growable memory stream, and a file stream over a POSIX descriptor.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class TStream {
public:
    virtual ~TStream() = default;
    // Each moves the position by the count it returns.
    virtual int64_t Read(void *buffer, int64_t count) = 0;
    virtual int64_t Write(const void *buffer, int64_t count) = 0;
    virtual int64_t Size() const = 0;
    // Growing fills with zeros; shrinking below the position moves it back.
    virtual void SetSize(int64_t size) = 0;
    int64_t Position() const { return FPosition; }
    virtual void SetPosition(int64_t position) { FPosition = position; }

protected:
    int64_t FPosition = 0;
};

class TMemoryStream : public TStream {
public:
    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override { return int64_t(FData.size()); }
    void SetSize(int64_t size) override;
    void Clear();

    const char *Memory() const { return FData.data(); }
    char *Memory() { return FData.data(); }
    // The whole contents as a string.
    const std::string &Data() const { return FData; }

protected:
    std::string FData;
};

// A file could not be opened or created.
class EFileStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TFileStream : public TStream {
public:
    enum TMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };
    TFileStream(const std::string &fileName, TMode mode);
    // Takes an open descriptor; closes it with the stream.
    TFileStream(int handle, const std::string &fileName) : FFileName(fileName), FHandle(handle) {}
    ~TFileStream() override;
    TFileStream(const TFileStream &) = delete;
    TFileStream &operator=(const TFileStream &) = delete;

    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override;
    void SetSize(int64_t size) override;

    int Handle() const { return FHandle; }
    const std::string &FileName() const { return FFileName; }

private:
    std::string FFileName;
    int FHandle = -1;
};
