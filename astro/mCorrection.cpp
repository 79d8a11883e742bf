#include "astro/mCorrection.h"
