// The byte streams of the browser's DevTools pipe. On Windows the browser reads the launcher's
// commands from one anonymous pipe and writes its answers into another; under Wine a Linux
// browser cannot be handed Windows pipes, so one loopback socket carries both directions.
#pragma once

#include <memory>

#include "common/Handles.h"
#include "common/SocketHandles.h"

class PipeStream {
public:
    virtual ~PipeStream() = default;
    // Writes all `size` bytes; false when the connection is gone. One writer at a time.
    virtual bool Write(const char* data, size_t size) = 0;
    // Reads what is there, up to `size` bytes, waiting for at least one; 0 when the connection has
    // ended or broken. One reader at a time.
    virtual size_t Read(char* buffer, size_t size) = 0;
    // Ends the launcher's side: the browser reads the end of its commands and ends, which ends a
    // waiting Read too. Any thread.
    virtual void Shutdown() = 0;
};

std::unique_ptr<PipeStream> MakeHandleStream(UniqueHandle toBrowser, UniqueHandle fromBrowser);
std::unique_ptr<PipeStream> MakeSocketStream(UniqueSocket socket);
