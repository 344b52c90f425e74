#include "IdBuffer.h"

#include "IdException.h"
#include "IdResourceStrings.h"

#include <algorithm>

void TIdBuffer::RemoveFront(int64_t count)
{
    if (count > Size())
        throw EIdNotEnoughDataInBuffer(RSId::NotEnoughDataInBuffer);
    if (count == Size()) {
        Clear();
        return;
    }
    FData.erase(0, size_t(count));
    FPosition = std::max<int64_t>(0, FPosition - count);
}
