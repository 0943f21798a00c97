#include "canvas/IDataSource.h"

// Out of line so the vtable lives in one translation unit.
IDataSource::~IDataSource() = default;
