#pragma once

#include "model/MDL_Object.h"

// A plain placeable object (type 14) with no data of its own: a named point
// in a scene, or a parent that moves a group of objects together. It reads
// and copies as the base object does.
class MDL_Locator : public MDL_Object {
public:
    MDL_Locator() { m_iType = OBJECT_LOCATOR; }
    MDL_Locator(const MDL_Locator &other) = default;
    ~MDL_Locator() override;
};
