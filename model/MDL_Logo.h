#pragma once

// The start-up logo (a PNG picture made by model/logo/make-logo.py),
// embedded at build time; the controller shows it while a document loads.
extern "C" {
extern const unsigned char MDL_kaucLogoData[];
extern const int MDL_kiLogoSize;
}
