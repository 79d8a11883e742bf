#include "astro/mMath.h"
