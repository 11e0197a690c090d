#include "view/null/VIEW_NullSound.h"

void VIEW_NullSound::submit(const int16_t *, int) {}
