#include "artwork/ArtState.h"

namespace {

quint64& writtenCount()
{
    static quint64 count = 0;
    return count;
}

} // namespace

quint64 ArtState::savesAndInstalls()
{
    return writtenCount();
}

void ArtState::savedOrInstalled()
{
    ++writtenCount();
}
