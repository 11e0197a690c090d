#include "model/MDL_Locator.h"

// Out of line, so that the class has one home for its virtual table.
MDL_Locator::~MDL_Locator() = default;
