#include "rememberedtreeposition.h"

namespace {

int rememberedPosition = -1;

} // namespace

int RememberedTreePosition()
{
    return rememberedPosition;
}

void RememberTreePosition(int absoluteIndex)
{
    rememberedPosition = absoluteIndex;
}
