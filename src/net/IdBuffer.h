// A growable memory stream that can drop bytes from its front: the
// connection's input buffer and its receive scratch area.
#pragma once

#include "IdStream.h"

class TIdBuffer : public TMemoryStream {
public:
    // Raises EIdNotEnoughDataInBuffer when fewer than `count` bytes are held.
    void RemoveFront(int64_t count);
};
