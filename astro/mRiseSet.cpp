#include "astro/mRiseSet.h"
