// The product's version, one home for every program, resource and text
// that shows it: RyvoWin's about box, the installer's registry values
// ("Ver. 0.80"), ryvo --version and the VERSIONINFO resources. Plain
// macros, so that the resource compiler reads them too.
#pragma once

#define RYVO_VERSION_TEXT "0.80"
// VERSIONINFO's numeric form: major, minor, 0, 0.
#define RYVO_VERSION_NUMBERS 0, 80, 0, 0
