#pragma once

// Registers how texts, polylines and images let go of what a resource
// removal takes away (CTRL_Generic::setForgetFunction): a text whose font
// goes takes the replacement font; a polyline or an image whose material
// goes is left without one, and its layers lose the textures that go. Every controller registers them when
// it is made; registering again changes nothing.
void CTRL_registerOverlayForgetting();
