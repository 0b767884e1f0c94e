// The PostScript and EPS driver's entry table (protocols 1 and 2).
#pragma once

#include "pelx.h"

const GEntryPoints *gpinit_GPPrimitives();
